#pragma once
// Components: named objects owned by another component. The owner frees what
// it owns (last created first); names are valid identifiers, unique among the
// owner's components without regard to letter case.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include "core/PointerSet.h"
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent();

    const std::string& Name() const noexcept { return name_; }
    // Raises kit::Error "''%s'' is not a valid component name" or
    // "A component named %s already exists".
    void SetName(const std::string& name);

    TComponent* Owner() const noexcept { return owner_; }
    std::size_t ComponentCount() const noexcept { return OwnedComponents().size(); }
    TComponent* Components(std::size_t index) const { return OwnedComponents().at(index); }
    // Owned components in creation order.
    const std::vector<TComponent*>& OwnedComponents() const noexcept;
    // Owned component by name, letter case ignored; nullptr when absent or name empty.
    TComponent* FindComponent(const std::string& name) const;

    std::intptr_t Tag = 0;

    // Calls `listener` once, first thing when this component is freed, so
    // holders of a plain pointer to it can let go. `key` identifies the
    // listener; a holder freed first removes its listener.
    void AddFreeListener(const void* key, std::function<void()> listener);
    void RemoveFreeListener(const void* key) noexcept;

private:
    void insertComponent(TComponent* c) { links().components.push_back(c); }
    void removeComponent(TComponent* c);
    void forgetName(TComponent* c) noexcept;

    TComponent* owner_;
    std::string name_;
    // What most components never have, made on first use: a form's
    // thousands of items then cost only what they hold. The named owned
    // components are kept hashed by their name, letter case ignored, with no
    // copy of it: lookups and name checks stay cheap however many components there are.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept;
        std::size_t operator()(const TComponent* c) const noexcept { return (*this)(c->name_); }
    };
    struct SameName {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
        bool operator()(const TComponent* a, const TComponent* b) const noexcept { return (*this)(a->name_, b->name_); }
        bool operator()(std::string_view a, const TComponent* b) const noexcept { return (*this)(a, b->name_); }
        bool operator()(const TComponent* a, std::string_view b) const noexcept { return (*this)(a->name_, b); }
    };
    struct Links {
        std::vector<TComponent*> components;
        PointerSet<TComponent, NameHash, SameName> byName;
        std::vector<std::pair<const void*, std::function<void()>>> freeListeners;
    };
    Links& links();
    std::unique_ptr<Links> links_;
    bool destroying_ = false;
};

bool IsValidIdent(const std::string& name);
bool SameText(const std::string& a, const std::string& b);

} // namespace kit
