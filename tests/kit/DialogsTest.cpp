// File dialog components and message boxes, through the recording platform.
#include "kit/Dialogs.h"
#include "kit/MessageBox.h"
#include "tests/support/RecordingPlatform.h"

#include <commdlg.h>
#include <gtest/gtest.h>

TEST(FileDialogs, RequestCarriesTheDesignAndConfirmationUpdatesNameAndFilter) {
    kgtest::RecordingPlatform platform;
    kit::TSaveDialog save(nullptr);
    save.Title = "Save Searches To File";
    save.FileName = "Toolbar Searches.txt";
    save.DefaultExt = ".txt";
    save.Filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*";
    platform.fileDialogAnswers.push_back(std::string("C:\\out\\list.txt"));
    ASSERT_TRUE(save.Execute());

    ASSERT_EQ(platform.fileDialogs.size(), 1u);
    const kit::FileDialogRequest& r = platform.fileDialogs[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, "Save Searches To File");
    EXPECT_EQ(r.fileName, "Toolbar Searches.txt");
    EXPECT_EQ(r.defaultExt, "txt");
    EXPECT_EQ(r.filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_EQ(r.filterIndex, 1);
    // Default options: no read-only box, resizable, no overwrite prompt, no existence check.
    EXPECT_EQ(r.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_ENABLESIZING));
    EXPECT_EQ(save.FileName, "C:\\out\\list.txt");

    // Cancel leaves the component as it was.
    platform.fileDialogAnswers.push_back(std::nullopt);
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(save.FileName, "C:\\out\\list.txt");

    kit::TOpenDialog open(nullptr);
    open.Options = kit::ofFileMustExist | kit::ofOverwritePrompt | kit::ofNoChangeDir;
    EXPECT_FALSE(open.Execute());
    ASSERT_EQ(platform.fileDialogs.size(), 3u);
    EXPECT_FALSE(platform.fileDialogs[2].save);
    EXPECT_EQ(platform.fileDialogs[2].flags, static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR));
}

TEST(MessageBoxes, EachKindHasItsButtonsAndIcon) {
    kgtest::RecordingPlatform platform;
    kit::ShowInformation("Nothing to Remove.");
    platform.messageBoxAnswers = {IDYES, IDNO};
    EXPECT_TRUE(kit::Confirm("Are you sure you want to clear history?"));
    EXPECT_FALSE(kit::Confirm("Again?"));
    kit::ShowError("File I/O error.", "Error");
    kit::ShowMessage("Couldn't get handle for the band.");

    ASSERT_EQ(platform.messageBoxes.size(), 5u);
    EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(platform.messageBoxes[0].text, "Nothing to Remove.");
    EXPECT_EQ(platform.messageBoxes[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(platform.messageBoxes[3].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(platform.messageBoxes[3].caption, "Error");
    EXPECT_EQ(platform.messageBoxes[4].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(platform.messageBoxes[4].caption, kit::ApplicationTitle());
    EXPECT_EQ(kit::ApplicationTitle(), "kg_kit_tests");
}
