#pragma once
// The names of the toolbar window's own (designed) components: the window
// gives them, and the configuration checker keeps configured items off them.

namespace kg::design {

inline constexpr char Dock[] = "Dock";
inline constexpr char TBControlItem1[] = "TBControlItem1";
inline constexpr char TBSeparatorItem1[] = "TBSeparatorItem1";
inline constexpr char TBControlItem2[] = "TBControlItem2";
inline constexpr char FlashToolbar[] = "FlashToolbar";
inline constexpr char Image[] = "Image";
inline constexpr char OpenDialog1[] = "OpenDialog1";
inline constexpr char SaveDialog1[] = "SaveDialog1";
inline constexpr char IconList[] = "IconList";
inline constexpr char IconList_Main[] = "IconList_Main";
inline constexpr char TBSeparatorItem2[] = "TBSeparatorItem2";
inline constexpr char TBSeparatorItem3[] = "TBSeparatorItem3";
inline constexpr char TBSeparatorItem4[] = "TBSeparatorItem4";
inline constexpr char TBSeparatorItem5[] = "TBSeparatorItem5";
inline constexpr char miSupport[] = "miSupport";
inline constexpr char miWebsite[] = "miWebsite";
inline constexpr char miAbout[] = "miAbout";
inline constexpr char miClose[] = "miClose";
inline constexpr char miCut[] = "miCut";
inline constexpr char miCopy[] = "miCopy";
inline constexpr char miPaste[] = "miPaste";
inline constexpr char miDelete[] = "miDelete";
inline constexpr char miSelectAll[] = "miSelectAll";
inline constexpr char miSaveSearches[] = "miSaveSearches";
inline constexpr char miLoadSearches[] = "miLoadSearches";
inline constexpr char miEditHistory[] = "miEditHistory";
inline constexpr char miRefreshSearches[] = "miRefreshSearches";
inline constexpr char miRemoveSelected[] = "miRemoveSelected";
inline constexpr char miClearSearches[] = "miClearSearches";
inline constexpr char Toolbar[] = "Toolbar";
inline constexpr char popupMain[] = "popupMain";
inline constexpr char popupSearch[] = "popupSearch";
inline constexpr char SearchBox[] = "SearchBox";

// What a designed component is to a configured item: the toolbar it may hang
// under, a context menu, the search box, a context menu's entry (an item
// itself), or another part of the window.
enum class Kind { Toolbar, Menu, SearchBox, MenuEntry, OtherPart };

struct Component {
    const char* name;
    Kind kind;
};

inline constexpr Component Components[] = {
    {Toolbar, Kind::Toolbar},
    {popupMain, Kind::Menu},
    {popupSearch, Kind::Menu},
    {SearchBox, Kind::SearchBox},
    {miSupport, Kind::MenuEntry},
    {miWebsite, Kind::MenuEntry},
    {miAbout, Kind::MenuEntry},
    {miClose, Kind::MenuEntry},
    {miCut, Kind::MenuEntry},
    {miCopy, Kind::MenuEntry},
    {miPaste, Kind::MenuEntry},
    {miDelete, Kind::MenuEntry},
    {miSelectAll, Kind::MenuEntry},
    {miSaveSearches, Kind::MenuEntry},
    {miLoadSearches, Kind::MenuEntry},
    {miEditHistory, Kind::MenuEntry},
    {miRefreshSearches, Kind::MenuEntry},
    {miRemoveSelected, Kind::MenuEntry},
    {miClearSearches, Kind::MenuEntry},
    {Dock, Kind::OtherPart},
    {TBControlItem1, Kind::OtherPart},
    {TBSeparatorItem1, Kind::OtherPart},
    {TBControlItem2, Kind::OtherPart},
    {FlashToolbar, Kind::OtherPart},
    {Image, Kind::OtherPart},
    {OpenDialog1, Kind::OtherPart},
    {SaveDialog1, Kind::OtherPart},
    {IconList, Kind::OtherPart},
    {IconList_Main, Kind::OtherPart},
    {TBSeparatorItem2, Kind::OtherPart},
    {TBSeparatorItem3, Kind::OtherPart},
    {TBSeparatorItem4, Kind::OtherPart},
    {TBSeparatorItem5, Kind::OtherPart},
};

} // namespace kg::design
