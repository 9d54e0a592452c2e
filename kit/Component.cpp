#include "kit/Component.h"

#include "kit/Error.h"

#include <algorithm>

namespace kit {

namespace {
char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isAlnum(char c) { return isAlpha(c) || (c >= '0' && c <= '9'); }
} // namespace

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

bool IsValidIdent(const std::string& name) {
    if (name.empty() || !isAlpha(name[0])) return false;
    return std::all_of(name.begin() + 1, name.end(), isAlnum);
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->insertComponent(this);
}

TComponent::~TComponent() {
    for (auto& listener : std::exchange(freeListeners_, {})) listener.second();
    destroying_ = true;
    // Last created first, so later components never outlive what they hang on.
    while (!components_.empty()) {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        delete c;
    }
    if (owner_) owner_->removeComponent(this);
}

void TComponent::AddFreeListener(const void* key, std::function<void()> listener) {
    RemoveFreeListener(key);
    freeListeners_.emplace_back(key, std::move(listener));
}

void TComponent::RemoveFreeListener(const void* key) noexcept {
    std::erase_if(freeListeners_, [key](const auto& l) { return l.first == key; });
}

void TComponent::removeComponent(TComponent* c) {
    if (destroying_) return;
    components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw Error("''" + name + "'' is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this) throw Error("A component named " + name + " already exists");
    }
    name_ = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

} // namespace kit
