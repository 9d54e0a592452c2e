#include "core/Component.h"

#include "core/ErrorText.h"
#include "core/Text.h"

#include <algorithm>
#include <iterator>

namespace kit {

namespace {
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isAlnum(char c) { return isAlpha(c) || (c >= '0' && c <= '9'); }
std::string folded(const std::string& name) {
    std::string key(name);
    for (char& c : key) c = AsciiLower(c);
    return key;
}
} // namespace

bool SameText(const std::string& a, const std::string& b) { return SameAsciiText(a, b); }

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
        forgetName(c);
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
    forgetName(c);
    // The latest components go first most often: look from the end.
    const auto it = std::find(components_.rbegin(), components_.rend(), c);
    if (it != components_.rend()) components_.erase(std::next(it).base());
}

void TComponent::forgetName(TComponent* c) noexcept {
    if (c->name_.empty()) return;
    const auto it = byName_.find(folded(c->name_));
    if (it != byName_.end() && it->second == c) byName_.erase(it);
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw Error("''" + Quote(name) + "'' is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this) throw Error("A component named " + Quote(name) + " already exists");
    }
    if (owner_) {
        owner_->forgetName(this);
        if (!name.empty()) owner_->byName_[folded(name)] = this;
    }
    name_ = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    const auto it = byName_.find(folded(name));
    return it == byName_.end() ? nullptr : it->second;
}

} // namespace kit
