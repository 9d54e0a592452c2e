// The toolbar window's design: the widgets it is made with, in the order they
// are created (the builder's restore of the search engine walks the window's
// components in that order), with their designed properties.
#include "toolbar/KestrelgroveForm.h"
#include "core/DesignNames.h"

#include "kit/ComboBox.h"
#include "kit/Dialogs.h"
#include "kit/Image.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "kit/PopupMenu.h"
#include "kit/Toolbar.h"
#include "toolbar/Artwork.h"

#include <utility>

namespace kg {

namespace {

constexpr kit::TColor clBtnShadow = kit::clSystemColor | COLOR_BTNSHADOW;
constexpr char kTextFilesFilter[] = "Text files (*.txt)|*.txt|All files (*.*)|*.*";
constexpr char kSearchesFileName[] = "Toolbar Searches.txt";

template <typename T>
T* make(kit::TComponent* owner, const char* name) {
    auto* component = new T(owner);
    component->SetName(name);
    return component;
}

// An entry of a context menu, owned by the window, appended to the menu.
kit::TTBItem* menuItem(kit::TComponent* owner, kit::TTBPopupMenu* menu, const char* name, const char* caption,
                       int imageIndex, const char* shortCut = "", const char* hint = "") {
    auto* item = make<kit::TTBItem>(owner, name);
    item->SetCaption(caption);
    item->SetImageIndex(imageIndex);
    item->SetShortCut(shortCut);
    item->SetHint(hint);
    menu->Items()->Add(item);
    return item;
}

kit::TTBSeparatorItem* menuSeparator(kit::TComponent* owner, kit::TTBPopupMenu* menu, const char* name) {
    auto* item = make<kit::TTBSeparatorItem>(owner, name);
    menu->Items()->Add(item);
    return item;
}

template <typename Dialog>
Dialog* fileDialog(kit::TComponent* owner, const char* name) {
    auto* dialog = make<Dialog>(owner, name);
    dialog->DefaultExt = ".txt";
    dialog->FileName = kSearchesFileName;
    dialog->Filter = kTextFilesFilter;
    return dialog;
}

} // namespace

void TformToolbar::createDesignedWidgets() {
    SetBorderStyle(kit::TFormBorderStyle::bsNone);
    SetColor(kit::clBtnFace);
    SetBounds(0, 0, 865, 63);

    Dock = make<kit::TTBDock>(this, design::Dock);
    Dock->SetParent(this);
    Dock->SetBounds(0, 0, 865, 26);
    Dock->SetAlign(kit::TAlign::alTop);
    Dock->SetColor(clBtnShadow);
    Dock->LimitToOneRow = true;

    Toolbar = make<kit::TTBToolbar>(this, design::Toolbar);
    Toolbar->SetParent(Dock);
    Toolbar->SetFullSize(true);
    Toolbar->Stretch = true;
    Toolbar->DragHandleStyle = kit::dhNone;
    Toolbar->DockMode = kit::dmCannotFloatOrChangeDocks;
    Toolbar->ChevronMoveItems = false;
    Toolbar->ShowHint = false;
    Toolbar->SetCaption("Toolbar");
    Toolbar->OnMouseMove = [this](kit::TComponent* sender, unsigned shift, int x, int y) {
        ToolbarMouseMove(sender, shift, x, y);
    };

    TBControlItem1 = make<kit::TTBControlItem>(this, design::TBControlItem1);
    Toolbar->Items()->Add(TBControlItem1);
    TBSeparatorItem1 = make<kit::TTBSeparatorItem>(this, design::TBSeparatorItem1);
    Toolbar->Items()->Add(TBSeparatorItem1);
    TBControlItem2 = make<kit::TTBControlItem>(this, design::TBControlItem2);
    Toolbar->Items()->Add(TBControlItem2);

    FlashToolbar = make<kit::TTBToolWindow>(this, design::FlashToolbar);
    FlashToolbar->SetParent(Toolbar);
    FlashToolbar->SetBounds(0, 0, 107, 22);
    FlashToolbar->Stretch = true;
    FlashToolbar->DragHandleStyle = kit::dhNone;
    FlashToolbar->DockMode = kit::dmCannotFloatOrChangeDocks;
    TBControlItem1->SetControl(FlashToolbar);

    Image = make<kit::TImage>(this, design::Image);
    Image->SetParent(FlashToolbar);
    Image->SetBounds(0, 0, 105, 22);
    Image->SetCenter(true);
    Image->SetStretch(true);
    Image->Cursor = kit::TCursor::crHandPoint;
    Image->SetPicture(MakeDesignBanner());

    SearchBox = make<kit::TComboBox>(this, design::SearchBox);
    SearchBox->SetParent(Toolbar);
    SearchBox->SetBounds(0, 0, 145, 21);
    SearchBox->SetSorted(true);
    SearchBox->DropDownCount = 16;
    SearchBox->ShowHint = false;
    TBControlItem2->SetControl(SearchBox);

    createMainMenu();
    createSearchMenu();

    OpenDialog1 = fileDialog<kit::TOpenDialog>(this, design::OpenDialog1);
    SaveDialog1 = fileDialog<kit::TSaveDialog>(this, design::SaveDialog1);

    IconList = make<kit::TImageList>(this, design::IconList);
    IconList->SetSize(16, 16);
    IconList_Main = make<kit::TImageList>(this, design::IconList_Main);
    IconList_Main->SetSize(16, 16);
    for (const kit::Bitmap32& icon : MakeMenuIcons()) IconList_Main->Add(icon);

    // References between the designed components, set once all exist.
    Toolbar->SetImages(IconList);
    SearchBox->PopupMenu = popupSearch;
    popupMain->SetImages(IconList_Main);
    popupSearch->SetImages(IconList_Main);
    PopupMenu = popupMain;
    ActiveControl = SearchBox;
    wireDesignedHandlers();
    SetVisible(true);
}

void TformToolbar::wireDesignedHandlers() {
    using Handler = void (TformToolbar::*)(kit::TComponent*);
    const auto to = [this](Handler handler) {
        return [this, handler](kit::TComponent* sender) { (this->*handler)(sender); };
    };
    Image->OnClick = to(&TformToolbar::ImageClick);
    SearchBox->OnKeyPress = [this](kit::TComponent* sender, char& key) { SearchBoxKeyPress(sender, key); };
    miSupport->OnClick = to(&TformToolbar::eMailClick);
    miWebsite->OnClick = to(&TformToolbar::MIDirectURLClick);
    miAbout->OnClick = to(&TformToolbar::AboutClick);
    miClose->OnClick = to(&TformToolbar::miCloseClick);
    const std::pair<kit::TTBItem*, Handler> searchMenu[] = {
        {miCut, &TformToolbar::miCutClick},
        {miCopy, &TformToolbar::miCopyClick},
        {miPaste, &TformToolbar::miPasteClick},
        {miDelete, &TformToolbar::miDeleteClick},
        {miSelectAll, &TformToolbar::miSelectAllClick},
        {miSaveSearches, &TformToolbar::miSaveSearchesClick},
        {miLoadSearches, &TformToolbar::miLoadSearchesClick},
        {miEditHistory, &TformToolbar::miEditHistoryClick},
        {miRefreshSearches, &TformToolbar::miRefreshSearchesClick},
        {miRemoveSelected, &TformToolbar::miRemoveSelectedClick},
        {miClearSearches, &TformToolbar::miClearSearchesClick},
    };
    for (const auto& [item, handler] : searchMenu) item->OnClick = to(handler);
}

void TformToolbar::createMainMenu() {
    popupMain = make<kit::TTBPopupMenu>(this, design::popupMain);
    miSupport = menuItem(this, popupMain, design::miSupport, "Toolbar Support", 12);
    miWebsite = menuItem(this, popupMain, design::miWebsite, "Toolbar Website", 11);
    TBSeparatorItem2 = menuSeparator(this, popupMain, design::TBSeparatorItem2);
    miAbout = menuItem(this, popupMain, design::miAbout, "About Toolbar...", -1);
    miClose = menuItem(this, popupMain, design::miClose, "Close Toolbar", -1);
}

void TformToolbar::createSearchMenu() {
    popupSearch = make<kit::TTBPopupMenu>(this, design::popupSearch);
    miCut = menuItem(this, popupSearch, design::miCut, "Cu&t", 0, "Ctrl+X",
                     "Cut|Cuts the selection and puts it on the Clipboard");
    miCopy = menuItem(this, popupSearch, design::miCopy, "&Copy", 1, "Ctrl+C",
                      "Copy|Copies the selection and puts it on the Clipboard");
    miPaste = menuItem(this, popupSearch, design::miPaste, "&Paste", 2, "Ctrl+V", "Paste|Inserts Clipboard contents");
    miDelete = menuItem(this, popupSearch, design::miDelete, "&Delete", 3, "Del", "Delete|Erases the selection");
    TBSeparatorItem3 = menuSeparator(this, popupSearch, design::TBSeparatorItem3);
    miSelectAll = menuItem(this, popupSearch, design::miSelectAll, "Select &All", 4, "",
                           "Select All|Selects the entire document");
    TBSeparatorItem4 = menuSeparator(this, popupSearch, design::TBSeparatorItem4);
    miSaveSearches = menuItem(this, popupSearch, design::miSaveSearches, "Save Searches To File", 5);
    miLoadSearches = menuItem(this, popupSearch, design::miLoadSearches, "Load Searches From File", 6);
    miEditHistory = menuItem(this, popupSearch, design::miEditHistory, "Edit History File in Text Editor", 7);
    miRefreshSearches = menuItem(this, popupSearch, design::miRefreshSearches, "Refresh Searches", 8);
    TBSeparatorItem5 = menuSeparator(this, popupSearch, design::TBSeparatorItem5);
    miRemoveSelected = menuItem(this, popupSearch, design::miRemoveSelected, "Remove Selected From List", 9);
    miClearSearches = menuItem(this, popupSearch, design::miClearSearches, "Clear Search Box History", 10);
}

} // namespace kg
