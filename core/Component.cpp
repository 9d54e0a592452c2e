#include "core/Component.h"

#include "core/ErrorText.h"
#include "core/Text.h"

#include <algorithm>
#include <iterator>

namespace kit {

namespace {
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isAlnum(char c) { return isAlpha(c) || (c >= '0' && c <= '9'); }
} // namespace

std::size_t TComponent::NameHash::operator()(std::string_view name) const noexcept {
    // FNV-1a over the lower-case letters.
    std::size_t h = static_cast<std::size_t>(14695981039346656037ull);
    for (char c : name) {
        h ^= static_cast<unsigned char>(AsciiLower(c));
        h *= static_cast<std::size_t>(1099511628211ull);
    }
    return h;
}

bool TComponent::SameName::operator()(std::string_view a, std::string_view b) const noexcept {
    return SameAsciiText(a, b);
}

bool SameText(const std::string& a, const std::string& b) { return SameAsciiText(a, b); }

bool IsValidIdent(const std::string& name) {
    if (name.empty() || !isAlpha(name[0])) return false;
    return std::all_of(name.begin() + 1, name.end(), isAlnum);
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->insertComponent(this);
}

TComponent::~TComponent() {
    if (links_) {
        for (auto& listener : std::exchange(links_->freeListeners, {})) listener.second();
    }
    destroying_ = true;
    // Last created first, so later components never outlive what they hang on.
    while (links_ && !links_->components.empty()) {
        TComponent* c = links_->components.back();
        links_->components.pop_back();
        forgetName(c);
        c->owner_ = nullptr;
        delete c;
    }
    if (owner_) owner_->removeComponent(this);
}

TComponent::Links& TComponent::links() {
    if (!links_) links_ = std::make_unique<Links>();
    return *links_;
}

const std::vector<TComponent*>& TComponent::OwnedComponents() const noexcept {
    static const std::vector<TComponent*> none;
    return links_ ? links_->components : none;
}

void TComponent::AddFreeListener(const void* key, std::function<void()> listener) {
    RemoveFreeListener(key);
    links().freeListeners.emplace_back(key, std::move(listener));
}

void TComponent::RemoveFreeListener(const void* key) noexcept {
    if (links_) std::erase_if(links_->freeListeners, [key](const auto& l) { return l.first == key; });
}

void TComponent::removeComponent(TComponent* c) {
    if (destroying_ || !links_) return;
    forgetName(c);
    // The latest components go first most often: look from the end.
    std::vector<TComponent*>& components = links_->components;
    const auto it = std::find(components.rbegin(), components.rend(), c);
    if (it != components.rend()) components.erase(std::next(it).base());
}

void TComponent::forgetName(TComponent* c) noexcept {
    if (c->name_.empty() || !links_) return;
    links_->byName.erase(std::string_view(c->name_), c);
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw Error("''" + Quote(name) + "'' is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this) throw Error("A component named " + Quote(name) + " already exists");
    }
    std::string next(name);  // may fail: nothing has changed yet
    // The index hashes name_ itself, so the old name leaves it before name_ changes.
    if (owner_) owner_->forgetName(this);
    std::string previous = std::exchange(name_, std::move(next));
    if (!owner_ || name_.empty()) return;
    try {
        owner_->links().byName.insert(this);
    } catch (...) {
        name_ = std::move(previous);  // unindexed, as a failed rename always left it
        throw;
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty() || !links_) return nullptr;
    return links_->byName.find(std::string_view(name));
}

} // namespace kit
