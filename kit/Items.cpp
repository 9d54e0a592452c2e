#include "kit/Items.h"

#include "kit/Control.h"
#include "core/Error.h"
#include "kit/ImageList.h"
#include "core/PointerSet.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <new>

namespace kit {

std::string ShownCaption(const std::string& caption) {
    if (caption.size() <= kMaxShownCaption) return caption;
    std::size_t end = 0;
    while (end < kMaxShownCaption) {
        const std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(caption[end])) ? 2 : 1;
        if (end + step > kMaxShownCaption) break;
        end += step;
    }
    return caption.substr(0, end) + "...";
}

namespace {

struct AddressHash {
    std::size_t operator()(const TTBCustomItem* p) const noexcept {
        auto h = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(h ^ (h >> 32));
    }
};
struct SameAddress {
    bool operator()(const TTBCustomItem* a, const TTBCustomItem* b) const noexcept { return a == b; }
};

PointerSet<const TTBCustomItem, AddressHash, SameAddress>& liveItems() {
    static PointerSet<const TTBCustomItem, AddressHash, SameAddress> items;
    return items;
}

std::uint64_t nextSerial = 1;

template <class T>
void roomForOneMore(std::vector<T>& list) {
    if (list.size() == list.capacity()) list.reserve(list.size() < 4 ? 4 : list.size() * 2);
}

// Links are followed this far at most, so a ring of links cannot hang a view.
constexpr int kMaxLinkDepth = 16;

// Counts the changes that can change an item's nearest observed ancestor below the item
// itself: an item with children moved or freed, or gaining its first or losing its last
// observer. A childless item's move forgets only its own answer.
std::uint64_t layoutCount = 1;

} // namespace

TTBCustomItem::TTBCustomItem(TComponent* owner) : TComponent(owner), serial_(nextSerial++) {
    liveItems().insert(this);
}

TTBCustomItem::~TTBCustomItem() {
    if (extras_) {
        Extras& x = *extras_;
        for (TTBItemObserver* o : std::vector<TTBItemObserver*>(x.observers)) o->ItemChanged(*this, TTBItemChange::Destroying);
        x.observers.clear();
        if (x.images) x.images->RemoveFreeListener(this);
        x.images = nullptr;
        for (TTBCustomItem* linker : std::vector<TTBCustomItem*>(x.linkers)) {
            linker->extras_->link = nullptr;
            linker->Changed(TTBItemChange::Properties);
        }
        x.linkers.clear();
        if (!x.children.empty()) ++layoutCount;
        if (x.link) {
            auto& l = x.link->extras_->linkers;
            l.erase(std::remove(l.begin(), l.end(), this), l.end());
            x.link = nullptr;
        }
        for (TTBCustomItem* child : x.children) child->parent_ = nullptr;
        x.children.clear();
    }
    if (parent_) parent_->Remove(this);
    liveItems().erase(this);
}

TTBCustomItem::Extras& TTBCustomItem::extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
}

namespace {
const std::vector<TTBCustomItem*> noItems;
const std::string noText;
} // namespace

const std::vector<TTBCustomItem*>& TTBCustomItem::Children() const noexcept {
    return extras_ ? extras_->children : noItems;
}

const std::string& TTBCustomItem::Caption() const noexcept { return extras_ ? extras_->caption : noText; }

const std::string& TTBCustomItem::Hint() const noexcept { return extras_ ? extras_->hint : noText; }

const std::string& TTBCustomItem::ShortCut() const noexcept { return extras_ ? extras_->shortCut : noText; }

TTBCustomItem* TTBCustomItem::FindLive(const TTBCustomItem* item, std::uint64_t serial) noexcept {
    if (!item || !liveItems().find(item)) return nullptr;
    return item->serial_ == serial ? const_cast<TTBCustomItem*>(item) : nullptr;
}

TTBCustomItem* TTBCustomItem::Items(int index) const {
    if (index < 0 || index >= Count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return extras_->children[static_cast<std::size_t>(index)];
}

int TTBCustomItem::IndexOf(const TTBCustomItem* item) const noexcept {
    const std::vector<TTBCustomItem*>& children = Children();
    const auto it = std::find(children.begin(), children.end(), item);
    return it == children.end() ? -1 : static_cast<int>(it - children.begin());
}

void TTBCustomItem::checkCanAdopt(TTBCustomItem* item) const {
    if (!item) throw Error("Cannot add a missing item");
    // Every ancestor has a child: a childless item other than this one cannot be among them.
    if (item != this && !item->hasChildren()) return;
    for (const TTBCustomItem* p = this; p; p = p->parent_)
        if (p == item) throw Error("Cannot insert an item into itself or into one of its subitems");
}

void TTBCustomItem::Add(TTBCustomItem* item) {
    checkCanAdopt(item);
    Insert(item->parent_ == this ? Count() - 1 : Count(), item);
}

void TTBCustomItem::Insert(int index, TTBCustomItem* item) {
    checkCanAdopt(item);
    const int limit = item->parent_ == this ? Count() - 1 : Count();
    if (index < 0 || index > limit) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    std::vector<TTBCustomItem*>& children = extras().children;
    // Room first (doubling, as the vector would): a failed allocation leaves the item where it was.
    roomForOneMore(children);
    if (item->parent_) item->parent_->Remove(item);
    children.insert(children.begin() + index, item);
    item->parent_ = this;
    item->movedOrFreed();
    Changed(TTBItemChange::Structure);
}

void TTBCustomItem::detachChild(TTBCustomItem* item) noexcept {
    // Items are freed last first: the child is found at the end most often.
    if (extras_) {
        std::vector<TTBCustomItem*>& children = extras_->children;
        const auto it = std::find(children.rbegin(), children.rend(), item);
        if (it != children.rend()) children.erase(std::next(it).base());
    }
    item->parent_ = nullptr;
    item->movedOrFreed();
}

void TTBCustomItem::movedOrFreed() noexcept {
    if (!hasChildren())
        observedAt_ = 0;
    else
        ++layoutCount;
}

TTBCustomItem* TTBCustomItem::observedAncestor() const noexcept {
    if (observedAt_ == layoutCount) return observedAbove_;
    // Up to the first item whose answer is known, then the answers on the way down.
    std::vector<const TTBCustomItem*> path;
    try {
        for (const TTBCustomItem* p = this; p && p->observedAt_ != layoutCount; p = p->parent_) path.push_back(p);
    } catch (const std::bad_alloc&) {
        for (TTBCustomItem* p = parent_; p; p = p->parent_)
            if (p->hasObservers()) return p;
        return nullptr;
    }
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        const TTBCustomItem* item = *it;
        TTBCustomItem* parent = item->parent_;
        item->observedAbove_ = !parent ? nullptr : (!parent->hasObservers() ? parent->observedAbove_ : parent);
        item->observedAt_ = layoutCount;
    }
    return observedAbove_;
}

void TTBCustomItem::Remove(TTBCustomItem* item) {
    if (!item || item->parent_ != this) return;
    detachChild(item);
    Changed(TTBItemChange::Structure);
}

void TTBCustomItem::SetLinkSubitems(TTBCustomItem* item) {
    if (item == LinkSubitems()) return;
    Extras& x = extras();
    if (item) {
        std::vector<TTBCustomItem*>& linkers = item->extras().linkers;
        roomForOneMore(linkers);
    }
    if (x.link) {
        auto& l = x.link->extras_->linkers;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
    }
    x.link = item;
    if (item) item->extras_->linkers.push_back(this);
    Changed(TTBItemChange::Properties);
}

const std::vector<TTBCustomItem*>& TTBCustomItem::ShownChildren() const noexcept {
    const TTBCustomItem* p = this;
    for (int depth = 0; depth < kMaxLinkDepth && p->LinkSubitems() && p->LinkSubitems() != p; ++depth)
        p = p->LinkSubitems();
    return p->Children();
}

void TTBCustomItem::SetCaption(std::string caption) {
    if (caption == Caption()) return;
    extras().caption = std::move(caption);
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetImageIndex(int index) {
    if (index < -1) index = -1;
    if (index == imageIndex_) return;
    imageIndex_ = index;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetDisplayMode(TTBItemDisplayMode mode) {
    if (mode == DisplayMode()) return;
    displayMode_ = static_cast<std::uint8_t>(mode);
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetHint(std::string hint) {
    if (hint == Hint()) return;
    extras().hint = std::move(hint);
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetShortCut(const std::string& text) {
    if (text == ShortCut()) return;
    extras().shortCut = text;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetOptions(TTBItemOptions options) {
    if (options == options_) return;
    options_ = options;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetImages(TImageList* images) {
    if (images == Images()) return;
    Extras& x = extras();
    if (x.images) x.images->RemoveFreeListener(this);
    x.images = images;
    if (x.images)
        x.images->AddFreeListener(this, [this] {
            extras_->images = nullptr;
            Changed(TTBItemChange::Properties);
        });
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetGroupIndex(int index) {
    if (index == GroupIndex()) return;
    extras().groupIndex = index;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetAutoCheck(bool value) {
    autoCheck_ = value;  // shows nothing by itself
}

void TTBCustomItem::clearGroup() {
    const int group = GroupIndex();
    if (group <= 0 || !parent_) return;
    for (TTBCustomItem* sibling : std::vector<TTBCustomItem*>(parent_->Children()))
        if (sibling != this && sibling->GroupIndex() == group) sibling->SetChecked(false);
}

void TTBCustomItem::SetChecked(bool value) {
    if (value) clearGroup();
    if (value == checked_) return;
    checked_ = value;
    Changed(TTBItemChange::State);
}

void TTBCustomItem::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Changed(TTBItemChange::State);
}

void TTBCustomItem::SetVisible(bool value) {
    if (value == visible_) return;
    visible_ = value;
    Changed(TTBItemChange::Visibility);
}

void TTBCustomItem::Click() {
    if (!enabled_) return;
    if (autoCheck_) SetChecked(!checked_);
    DoEvent(OnClick, static_cast<TComponent*>(this));
}

void TTBCustomItem::AddObserver(TTBItemObserver* observer) {
    if (!observer) return;
    std::vector<TTBItemObserver*>& observers = extras().observers;
    if (std::find(observers.begin(), observers.end(), observer) == observers.end()) {
        observers.push_back(observer);
        if (observers.size() == 1 && hasChildren()) ++layoutCount;
    }
}

void TTBCustomItem::RemoveObserver(TTBItemObserver* observer) noexcept {
    if (!extras_) return;
    std::vector<TTBItemObserver*>& observers = extras_->observers;
    const std::size_t before = observers.size();
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
    if (before > 0 && observers.empty() && hasChildren()) ++layoutCount;
}

void TTBCustomItem::Changed(TTBItemChange change) {
    // Observers may come and go (or free items) while they are told.
    const std::uint64_t self = serial_;
    for (TTBCustomItem* p = this; p; p = p->observedAncestor()) {
        const std::uint64_t serial = p->serial_;
        if (!p->hasObservers()) continue;
        for (TTBItemObserver* o : std::vector<TTBItemObserver*>(p->extras_->observers)) {
            const std::vector<TTBItemObserver*>& now = p->extras_->observers;
            if (std::find(now.begin(), now.end(), o) == now.end()) continue;
            o->ItemChanged(*this, change);
            if (!FindLive(p, serial) || !FindLive(this, self)) return;
        }
    }
}

void TTBSubmenuItem::SetDropdownCombo(bool value) {
    if (value == dropdownCombo_) return;
    dropdownCombo_ = value;
    Changed(TTBItemChange::Properties);
}

TTBControlItem::~TTBControlItem() {
    if (control_) control_->RemoveFreeListener(this);
}

void TTBControlItem::SetControl(TControl* control) {
    if (control == control_) return;
    if (control_) control_->RemoveFreeListener(this);
    control_ = control;
    if (control_)
        control_->AddFreeListener(this, [this] {
            control_ = nullptr;
            Changed(TTBItemChange::Properties);
        });
    Changed(TTBItemChange::Properties);
}

} // namespace kit
