#include "kit/Items.h"

#include "kit/Control.h"
#include "core/Error.h"
#include "kit/ImageList.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <unordered_set>

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

std::unordered_set<const TTBCustomItem*>& liveItems() {
    static std::unordered_set<const TTBCustomItem*> items;
    return items;
}

std::uint64_t nextSerial = 1;

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
    for (TTBItemObserver* o : std::vector<TTBItemObserver*>(observers_)) o->ItemChanged(*this, TTBItemChange::Destroying);
    observers_.clear();
    if (images_) images_->RemoveFreeListener(this);
    images_ = nullptr;
    for (TTBCustomItem* linker : std::vector<TTBCustomItem*>(linkers_)) {
        linker->link_ = nullptr;
        linker->Changed(TTBItemChange::Properties);
    }
    linkers_.clear();
    if (!children_.empty()) ++layoutCount;
    if (link_) {
        auto& l = link_->linkers_;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
        link_ = nullptr;
    }
    for (TTBCustomItem* child : children_) child->parent_ = nullptr;
    children_.clear();
    if (parent_) parent_->Remove(this);
    liveItems().erase(this);
}

TTBCustomItem* TTBCustomItem::FindLive(const TTBCustomItem* item, std::uint64_t serial) noexcept {
    if (!item || !liveItems().count(item)) return nullptr;
    return item->serial_ == serial ? const_cast<TTBCustomItem*>(item) : nullptr;
}

TTBCustomItem* TTBCustomItem::Items(int index) const {
    if (index < 0 || index >= Count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return children_[static_cast<std::size_t>(index)];
}

int TTBCustomItem::IndexOf(const TTBCustomItem* item) const noexcept {
    const auto it = std::find(children_.begin(), children_.end(), item);
    return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

void TTBCustomItem::checkCanAdopt(TTBCustomItem* item) const {
    if (!item) throw Error("Cannot add a missing item");
    // Every ancestor has a child: a childless item other than this one cannot be among them.
    if (item != this && item->children_.empty()) return;
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
    if (item->parent_) item->parent_->Remove(item);
    children_.insert(children_.begin() + index, item);
    item->parent_ = this;
    item->movedOrFreed();
    Changed(TTBItemChange::Structure);
}

void TTBCustomItem::detachChild(TTBCustomItem* item) noexcept {
    // Items are freed last first: the child is found at the end most often.
    const auto it = std::find(children_.rbegin(), children_.rend(), item);
    if (it != children_.rend()) children_.erase(std::next(it).base());
    item->parent_ = nullptr;
    item->movedOrFreed();
}

void TTBCustomItem::movedOrFreed() noexcept {
    if (children_.empty())
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
            if (!p->observers_.empty()) return p;
        return nullptr;
    }
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        const TTBCustomItem* item = *it;
        TTBCustomItem* parent = item->parent_;
        item->observedAbove_ = !parent ? nullptr : (parent->observers_.empty() ? parent->observedAbove_ : parent);
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
    if (item == link_) return;
    if (link_) {
        auto& l = link_->linkers_;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
    }
    link_ = item;
    if (link_) link_->linkers_.push_back(this);
    Changed(TTBItemChange::Properties);
}

const std::vector<TTBCustomItem*>& TTBCustomItem::ShownChildren() const noexcept {
    const TTBCustomItem* p = this;
    for (int depth = 0; depth < kMaxLinkDepth && p->link_ && p->link_ != p; ++depth) p = p->link_;
    return p->children_;
}

void TTBCustomItem::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetImageIndex(int index) {
    if (index < -1) index = -1;
    if (index == imageIndex_) return;
    imageIndex_ = index;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetDisplayMode(TTBItemDisplayMode mode) {
    if (mode == displayMode_) return;
    displayMode_ = mode;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetHint(std::string hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetShortCut(const std::string& text) {
    if (text == shortCut_) return;
    shortCut_ = text;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetOptions(TTBItemOptions options) {
    if (options == options_) return;
    options_ = options;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetImages(TImageList* images) {
    if (images == images_) return;
    if (images_) images_->RemoveFreeListener(this);
    images_ = images;
    if (images_)
        images_->AddFreeListener(this, [this] {
            images_ = nullptr;
            Changed(TTBItemChange::Properties);
        });
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetGroupIndex(int index) {
    if (index == groupIndex_) return;
    groupIndex_ = index;
    Changed(TTBItemChange::Properties);
}

void TTBCustomItem::SetAutoCheck(bool value) {
    autoCheck_ = value;  // shows nothing by itself
}

void TTBCustomItem::clearGroup() {
    if (groupIndex_ <= 0 || !parent_) return;
    for (TTBCustomItem* sibling : std::vector<TTBCustomItem*>(parent_->children_))
        if (sibling != this && sibling->groupIndex_ == groupIndex_) sibling->SetChecked(false);
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
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
        if (observers_.size() == 1 && !children_.empty()) ++layoutCount;
    }
}

void TTBCustomItem::RemoveObserver(TTBItemObserver* observer) noexcept {
    const std::size_t before = observers_.size();
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
    if (before > 0 && observers_.empty() && !children_.empty()) ++layoutCount;
}

void TTBCustomItem::Changed(TTBItemChange change) {
    // Observers may come and go (or free items) while they are told.
    const std::uint64_t self = serial_;
    for (TTBCustomItem* p = this; p; p = p->observedAncestor()) {
        const std::uint64_t serial = p->serial_;
        for (TTBItemObserver* o : std::vector<TTBItemObserver*>(p->observers_)) {
            if (std::find(p->observers_.begin(), p->observers_.end(), o) == p->observers_.end()) continue;
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
