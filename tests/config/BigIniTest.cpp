#include "core/BigIni.h"

#include "core/Error.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <utility>

using config::TBigIniFile;
using config::TStrings;
using config::TSectionList;
namespace fs = std::filesystem;

namespace {

class BigIniTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::string put(const char* name, std::string_view bytes) const {
        std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }

    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

    // Loads `bytes` into `ini` (built with no file, so options can be set first).
    void load(TBigIniFile& ini, std::string_view bytes, const std::function<void(TBigIniFile&)>& options = {}) {
        if (options) options(ini);
        ini.SetFileName(put("doc.ini", bytes));
    }

    static TStrings contents(TBigIniFile& ini) {
        TStrings all;
        ini.ReadContents(all);
        return all;
    }

    const kgtest::TempFolder folder_{"kg_bigini"};
    const fs::path dir_ = folder_.path();
};

TEST_F(BigIniTest, MissingFileGivesEmptyDocumentAndWritesNothing) {
    const std::string name = path("absent.ini");
    {
        TBigIniFile ini(name);
        EXPECT_EQ(ini.ReadString("Options", "Key", "dflt"), "dflt");
        TStrings sections{"stale"};
        ini.ReadSections(sections);
        EXPECT_TRUE(sections.empty());
        EXPECT_FALSE(ini.HasSection("Options"));
        EXPECT_FALSE(ini.Modified);
        EXPECT_EQ(ini.FileName(), name);
    }
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(BigIniTest, BlanksAroundEqualsBelongToKeyAndValue) {
    TBigIniFile plain("");
    load(plain, "[S]\r\nKey = Value\r\nPad=  v  \r\n");
    EXPECT_EQ(plain.ReadString("S", "Key", "dflt"), "dflt");
    EXPECT_EQ(plain.ReadString("s", "key ", "dflt"), " Value");
    EXPECT_EQ(plain.ReadString("S", "Pad", "dflt"), "  v  ");

    TBigIniFile dropped("");
    load(dropped, "[S]\r\nKey \t=\t Value\r\n  = x\r\n=  y\r\nk=\r\n", [](TBigIniFile& i) { i.DropBlanksAroundEquals = true; });
    EXPECT_EQ(dropped.ReadString("S", "Key", "dflt"), "Value");
    TStrings lines;
    dropped.ReadSectionValues("S", lines);
    // A name part of blanks only vanishes, and the "=" then leads, so the value keeps its blanks.
    EXPECT_EQ(lines, (TStrings{"Key=Value", "= x", "=  y", "k="}));
}

TEST_F(BigIniTest, ReadStringStartIsReadStringCut) {
    TBigIniFile ini("");
    load(ini, "[S]\r\nKey=abcdef\r\nKey=second\r\nEmpty=\r\n");
    const struct {
        const char* key;
        std::size_t limit;
    } cases[] = {{"key", 0}, {"Key", 3}, {"Key", 6}, {"Key", 100}, {"Empty", 4}, {"Missing", 2}, {"Missing", 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.limit));
        EXPECT_EQ(ini.ReadStringStart("s", c.key, "default", c.limit), ini.ReadString("s", c.key, "default").substr(0, c.limit));
    }
}

TEST_F(BigIniTest, HeaderLinesMustBeExact) {
    const std::string text = "stray=1\r\n [Lead]\r\n[A]\r\nk=1\r\n[B] \r\nm=2\r\n [C]\r\n[]\r\ne=3\r\n";
    TBigIniFile ini("");
    load(ini, text);
    TStrings sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (TStrings{"A", ""}));
    TStrings lines;
    ini.ReadSectionValues("A", lines);
    EXPECT_EQ(lines, (TStrings{"k=1", "[B] ", "m=2", " [C]"}));
    EXPECT_EQ(ini.ReadString("", "e", ""), "3");
    EXPECT_EQ(ini.ReadString("A", "stray", "none"), "none");

    TBigIniFile trimmed("");
    load(trimmed, text, [](TBigIniFile& i) { i.TrimLineEnds = true; });
    lines.clear();
    trimmed.ReadSectionValues("A", lines);
    EXPECT_EQ(lines, (TStrings{"k=1", "[B]", "m=2", " [C]"}));
    EXPECT_FALSE(trimmed.HasSection("B"));
}

// A file that begins with the UTF-8 mark is UTF-8: the mark goes and the text is taken into the
// ANSI code page (Windows-1252 here and under Wine's default locale); any other file byte for byte.
TEST_F(BigIniTest, Utf8MarkIsSkippedAndTheTextConverted) {
    struct Case {
        const char* what;
        std::string_view bytes;
        const char* section;
        const char* key;
        const char* want;  // "-" for the default
    };
    const Case cases[] = {
        {"the first header after the mark", "\xEF\xBB\xBF[Options]\r\nk=1\r\n", "Options", "k", "1"},
        {"held characters", "\xEF\xBB\xBF[S]\r\nk=Caf\xC3\xA9 \xE2\x82\xAC\r\n", "S", "k", "Caf\xE9 \x80"},
        {"characters the code page cannot hold", "\xEF\xBB\xBF[S]\nk=a\xE4\xB8\xAD" "b\xF0\x9F\x98\x80" "c\n", "S", "k", "a?b??c"},  // one "?" a UTF-16 unit
        {"no look-alike for a full-width equals sign", "\xEF\xBB\xBF[S]\nk\xEF\xBC\x9Dv\n", "S", "k?v", "-"},
        {"bytes that are no UTF-8", "\xEF\xBB\xBF[S]\nk=\xE9t\xE9\n", "S", "k", "?t?"},
        {"a converted header", "\xEF\xBB\xBF[Caf\xC3\xA9]\nk=1\n", "Caf\xE9", "k", "1"},
        {"a whole line is kept", "\xEF\xBB\xBF[S]\nk=\xE4\xB8\xAD\xE4\xB8\xAD;rest\nnext=2\n", "S", "k", "??;rest"},
        {"the mark only at the start", "[S]\r\nk=\xEF\xBB\xBFv\xC3\xA9\r\n", "S", "k", "\xEF\xBB\xBFv\xC3\xA9"},
        {"without the mark byte for byte", "[S]\r\nk=\xC3\xA9\r\n", "S", "k", "\xC3\xA9"},
        {"only the mark", "\xEF\xBB\xBF", "S", "k", "-"},
        {"Ctrl-Z still ends the file", "\xEF\xBB\xBF[S]\nk=1\n\x1A[T]\nk=2\n", "T", "k", "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int size : {1, 2, 3, 4, 0x7000}) {  // the mark split over reads, or not
            TBigIniFile ini("");
            ini.TextBufferSize = size;
            load(ini, c.bytes);
            EXPECT_EQ(ini.ReadString(c.section, c.key, "-"), c.want) << size;
        }
    }
    TBigIniFile ini("");
    load(ini, "\xEF\xBB\xBF[S]\nk=\xE4\xB8\xAD\xE4\xB8\xAD;rest\nnext=2\n");
    EXPECT_EQ(ini.ReadString("S", "next", "-"), "2");
}

TEST_F(BigIniTest, LineEnds) {
    TBigIniFile ini("");
    // LF and CR LF end lines; a lone CR vanishes; Ctrl-Z ends the input only at a line start.
    load(ini, "[S]\na=1\r\nb=2\rc\r\r\nd=x\x1Ay\n\x1A" "e=5\n[T]\nf=6\n");
    EXPECT_EQ(ini.ReadString("S", "a", ""), "1");
    EXPECT_EQ(ini.ReadString("S", "b", ""), "2c");
    EXPECT_EQ(ini.ReadString("S", "d", ""), "x\x1Ay");
    EXPECT_EQ(ini.ReadString("S", "e", "gone"), "gone");
    EXPECT_FALSE(ini.HasSection("T"));

    TBigIniFile afterCr("");
    load(afterCr, "[S]\na=1\n\r\x1A" "b=2\n");
    EXPECT_EQ(afterCr.ReadString("S", "b", "gone"), "gone");

    TBigIniFile last("");
    load(last, "[S]\r\nk=no line end");
    EXPECT_EQ(last.ReadString("S", "k", ""), "no line end");
}

TEST_F(BigIniTest, AnyBufferSizeReadsTheSameDocument) {
    // Long lines span the reader's chunks: a key, a header, and a key with a lone CR inside.
    const std::string header(70000, 'h'), value(70000, 'w');
    std::string text = "[S]\r\nshort=1\r\n\r\nlong=" + std::string(100000, 'v') + "\r\n[T]\r\nx=\r\r\n\ny=2\n[" +
                       header + "]\r\nk=" + value + "\rmid\r\n";
    TBigIniFile reference("");
    reference.LoadFromText(text);
    const TStrings expected = contents(reference);
    ASSERT_EQ(expected.size(), 11u);
    EXPECT_EQ(expected[2], "long=" + std::string(100000, 'v'));
    EXPECT_EQ(expected[8], "[" + header + "]");
    EXPECT_EQ(expected[9], "k=" + value + "mid");
    for (int size : {1, 2, 3, 7, 0, -5, 4096, 28672}) {
        TBigIniFile ini("");
        load(ini, text, [size](TBigIniFile& i) { i.TextBufferSize = size; });
        EXPECT_EQ(contents(ini), expected) << "buffer size " << size;
    }
}

TEST_F(BigIniTest, LoadingOptions) {
    TBigIniFile ini("");
    load(ini,
         "[S]\n;Name=1\nnoequals\na=\"v\"\nb='v\"\nc='\nd=''\ne=\"\"x\"\nlast=1 \t\x01\n",
         [](TBigIniFile& i) {
             i.DropCommentLines = true;
             i.DropLinesWithoutEquals = true;
             i.StripValueQuotes = true;
             i.TrimLineEnds = true;
         });
    TStrings lines;
    ini.ReadSectionValues("S", lines);
    EXPECT_EQ(lines, (TStrings{"a=v", "b='v\"", "c='", "d=", "e=\"x", "last=1"}));

    TBigIniFile plain("");
    load(plain, "[S]\n;Name=1\n");
    TStrings names;
    plain.ReadSection("S", names);
    EXPECT_EQ(names, (TStrings{";Name"}));
    EXPECT_TRUE(plain.ValueExists("s", ";NAME"));
}

TEST_F(BigIniTest, DuplicateSectionsFirstWins) {
    const std::string text = "[A]\nk=1\n[b]\nx=1\n[a]\nk=2\nz=3\n[B]\ny=1\n";
    TBigIniFile ini("");
    load(ini, text);
    EXPECT_FALSE(ini.Modified); // duplicates erased while binding do not count as a change
    TStrings sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (TStrings{"A", "b"}));
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "z", "none"), "none");

    TBigIniFile merged("");
    merged.LoadFromFile(put("doc.ini", text));
    EXPECT_TRUE(merged.Modified); // a plain load reports the erased copies
    merged.LoadFromText("[B]\ny=changed\n[C]\nc=1\n");
    EXPECT_EQ(merged.ReadString("b", "y", ""), "");
    EXPECT_EQ(merged.ReadString("b", "x", ""), "1");
    EXPECT_EQ(merged.ReadString("C", "c", ""), "1");
}

TEST_F(BigIniTest, DuplicateSectionHandlerDecides) {
    std::vector<std::string> calls;
    TBigIniFile ini("");
    load(ini, "[A]\nk=1\n[a]\nk=2\n[X]\n[A]\nk=3\n", [&](TBigIniFile& i) {
        i.OnDuplicateSection = [&](const std::string& name, TStrings& earlier, TStrings& later) {
            calls.push_back(name + ":" + earlier.at(0) + "/" + later.at(0));
            return false; // the later copy survives
        };
    });
    EXPECT_EQ(calls, (TStrings{"a:k=1/k=2", "A:k=2/k=3"}));
    TStrings sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (TStrings{"X", "A"}));
    EXPECT_EQ(ini.ReadString("a", "k", ""), "3");
    EXPECT_FALSE(ini.Modified);
}

TEST_F(BigIniTest, DuplicateKeysFirstWinsAndWriteReplacesIt) {
    TBigIniFile ini("");
    load(ini, "[S]\nK=1\nK=2\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
    ini.WriteString("S", "k", "9");
    TStrings lines;
    ini.ReadSectionValues("S", lines);
    EXPECT_EQ(lines, (TStrings{"k=9", "K=2"}));
    TStrings names;
    ini.ReadSection("S", names);
    EXPECT_EQ(names, (TStrings{"k", "K"}));
}

TEST_F(BigIniTest, ReadInteger) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"0x1F", 31},       {"0X1f", 31},      {"$1F", 31},          {"x1F", 31},        {"X1f", 31},
        {" 42", 42},        {"42 ", -7},       {"12abc", -7},        {"", -7},           {"4294967296", -7},
        {"$FFFFFFFF", -1},  {"$100000000", -7}, {"$", -7},           {"0x", -7},         {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX}, {"2147483648", -7}, {"-2147483649", -7}, {"+5", 5}, {"-$1F", -7},
        {"\t5", -7},        {"0009", 9},       {"-", -7},            {" 0x10", 16},      {"$fG", -7},
    };
    std::string text = "[S]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) text += "k" + std::to_string(i) + "=" + cases[i].text + "\n";
    TBigIniFile ini("");
    load(ini, text);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ini.ReadInteger("S", "k" + std::to_string(i), -7), cases[i].expected) << '"' << cases[i].text << '"';
    EXPECT_EQ(ini.ReadInteger("S", "missing", -7), -7);
    EXPECT_EQ(ini.ReadInteger("Nowhere", "k0", -7), -7);
}

TEST_F(BigIniTest, ReadBool) {
    TBigIniFile ini("");
    load(ini, "[S]\nzero=0\ntwo=2\nminus=-1\nword=true\n");
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_TRUE(ini.ReadBool("S", "minus", false));
    EXPECT_TRUE(ini.ReadBool("S", "word", true));
    EXPECT_FALSE(ini.ReadBool("S", "word", false));
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
}

TEST_F(BigIniTest, WriteBackKeepsOnlySectionsWithLines) {
    const std::string name = put("doc.ini",
                                 "above=1\n\n[Empty]\n\n[A]\nk=1\n\n  \nj=2\n[Dup]\nd=1\n[dup]\nd=2\n[Last]\nq=1");
    {
        TBigIniFile ini(name);
        ini.DeleteKey("Gone", "x"); // creates an empty section
        EXPECT_TRUE(ini.HasSection("Gone"));
        EXPECT_FALSE(ini.Modified);
        ini.WriteString("Last", "new", " v ");
        EXPECT_TRUE(ini.Modified);
    }
    EXPECT_EQ(slurp(name), "[A]\r\nk=1\r\n  \r\nj=2\r\n\r\n[Dup]\r\nd=1\r\n\r\n[Last]\r\nq=1\r\nnew= v \r\n\r\n");
    EXPECT_FALSE(fs::exists(name + ".tmp"));
}

TEST_F(BigIniTest, IdenticalWriteChangesNothing) {
    const std::string name = put("doc.ini", "[S]\nk=v\n");
    TBigIniFile ini(name);
    fs::remove(name);
    ini.WriteString("s", "k", "v");
    EXPECT_FALSE(ini.Modified);
    ini.WriteString("S", "K", "v"); // another spelling of the key is a change
    EXPECT_TRUE(ini.Modified);
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified);
    EXPECT_EQ(slurp(name), "[S]\r\nK=v\r\n\r\n");
}

TEST_F(BigIniTest, WriteStringWithEmptyKey) {
    const std::string name = put("doc.ini", "[A]\na=1\n[B]\nb=1\n");
    TBigIniFile ini(name);
    ini.ReadString("B", "b", "");
    EXPECT_EQ(ini.SectionCursor, 1);
    ini.WriteString("b", "", "anything");
    EXPECT_FALSE(ini.HasSection("B"));
    EXPECT_TRUE(ini.Modified);
    EXPECT_EQ(ini.SectionCursor, 0);
    ini.WriteString("Missing", "", "x"); // erasing a missing section changes nothing
    EXPECT_EQ(slurp(name), "[A]\na=1\n[B]\nb=1\n");
    ini.WriteString("", "", "");
    EXPECT_FALSE(ini.Modified);
    EXPECT_EQ(slurp(name), "[A]\r\na=1\r\n\r\n");
}

TEST_F(BigIniTest, MissingSectionLeavesTargetListsAlone) {
    TBigIniFile ini("");
    load(ini, "[S]\nk=1\n=nameless\nplain\n", [](TBigIniFile& i) { i.ClearBeforeReadValues = true; });
    TStrings list{"keep"};
    ini.ReadSection("Missing", list);
    ini.ReadSectionValues("Missing", list);
    EXPECT_EQ(list, (TStrings{"keep"}));
    ini.ReadSection("S", list);
    EXPECT_EQ(list, (TStrings{"keep", "k"}));
    ini.ReadSectionValues("S", list);
    EXPECT_EQ(list, (TStrings{"k=1", "=nameless", "plain"}));
    EXPECT_EQ(ini.ReadString("S", "", ""), "nameless");
    EXPECT_FALSE(ini.ValueExists("S", "plain"));
}

TEST_F(BigIniTest, TypedWritesReadBack) {
    TBigIniFile ini("");
    ini.WriteInteger("T", "int", -42);
    ini.WriteBool("T", "yes", true);
    ini.WriteFloat("T", "float", 0.1);
    ini.WriteDateTime("T", "when", 45000.75); // 2023-03-15 18:00:00
    ini.WriteDate("T", "day", 45000.75);
    ini.WriteTime("T", "time", 45000.75);
    TStrings lines;
    ini.ReadSectionValues("T", lines);
    EXPECT_EQ(lines, (TStrings{"int=-42", "yes=1", "float=0.1", "when=2023-03-15 18:00:00", "day=2023-03-15",
                               "time=18:00:00"}));
    EXPECT_EQ(ini.ReadFloat("T", "float", 1.5), 0.1);
    EXPECT_EQ(ini.ReadDateTime("T", "when", 0), 45000.75);
    EXPECT_EQ(ini.ReadDate("T", "day", 0), 45000.0);
    EXPECT_EQ(ini.ReadTime("T", "time", 0), 0.75);
    EXPECT_EQ(ini.ReadDate("T", "int", 7.0), 7.0); // text that does not convert
    EXPECT_EQ(ini.ReadFloat("T", "when", 1.5), 1.5);
    ini.WriteString("T", "bad", "2023-02-29");
    EXPECT_EQ(ini.ReadDate("T", "bad", 7.0), 7.0);
    EXPECT_THROW(ini.WriteDate("T", "day", 1e12), kit::Error);
}

TEST_F(BigIniTest, WritesThatWouldNotReadBackAreRejected) {
    TBigIniFile ini("");
    EXPECT_THROW(ini.WriteString("S", "k", "a\r\n[Other]"), kit::Error);
    EXPECT_THROW(ini.WriteString("S\n", "k", "v"), kit::Error);
    EXPECT_THROW(ini.WriteString("S", "a=b", "v"), kit::Error);
    EXPECT_THROW(ini.WriteString("S", "[k", "v]"), kit::Error);
    EXPECT_THROW(ini.WriteString("S", "\x1Ak", "v"), kit::Error);
    EXPECT_FALSE(ini.Modified);
    EXPECT_FALSE(ini.HasSection("S"));
    ini.WriteString("S", "[k", "v");
    EXPECT_EQ(ini.ReadString("S", "[k", ""), "v");
}

TEST_F(BigIniTest, FlushReplacesAnExistingFile) {
    const std::string name = put("doc.ini", "[Old]\nk=1\n");
    TBigIniFile ini(name);
    ini.WriteString("Old", "k", "2");
    ini.Flush();
    EXPECT_EQ(slurp(name), "[Old]\r\nk=2\r\n\r\n");
    ini.WriteString("Old", "k", "3");
    ini.Flush();
    EXPECT_EQ(slurp(name), "[Old]\r\nk=3\r\n\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(BigIniTest, FlushTakesTheSameEightBitNameItReadsFrom) {
    const std::string name = path("caf\xE9\x80.ini");  // bytes above 127, as an ANSI code page has them
    {
        TBigIniFile ini(name);
        ini.WriteString("S", "k", "1");
        EXPECT_NO_THROW(ini.Flush());
        ini.WriteString("S", "k", "2");  // and over the file that now exists
        EXPECT_NO_THROW(ini.Flush());
    }
    TBigIniFile again(name);
    EXPECT_EQ(again.ReadString("S", "k", "missing"), "2");
}

TEST_F(BigIniTest, FailedWriteKeepsTheOldFileWhole) {
    const std::string original = "[S]\nk=1\n";
    const std::string name = put("doc.ini", original);
    fs::permissions(name, fs::perms::owner_read); // read-only: refused as a plain write would be
    {
        TBigIniFile ini(name);
        ini.WriteString("S", "k", "2");
        try {
            ini.Flush();
            ADD_FAILURE() << "a read-only file was replaced";
        } catch (const kit::InOutError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot write file \"" + name + "\": the file is read-only", 0), 0u)
                << e.what();
        }
        EXPECT_TRUE(ini.Modified);
        EXPECT_EQ(slurp(name), original);
    } // destruction fails the same way and must not raise
    EXPECT_EQ(slurp(name), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(BigIniTest, UnreadableFileRaisesAndBindsNothing) {
    const std::string folder = path("folder.ini");
    fs::create_directory(folder);
    EXPECT_THROW(TBigIniFile{folder}, kit::InOutError);

    const std::string name = put("doc.ini", "[S]\nk=1\n");
    TBigIniFile ini(name);
    EXPECT_THROW(ini.SetFileName(folder), kit::InOutError);
    EXPECT_EQ(ini.FileName(), "");
    EXPECT_FALSE(ini.HasSection("S"));
    ini.WriteString("S", "k", "2");
    EXPECT_NO_THROW(ini.Flush());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(slurp(name), "[S]\nk=1\n");
}

TEST_F(BigIniTest, RenameOverADirectoryFailsAndRemovesTheTemporaryFile) {
    const std::string name = path("target.ini");
    TBigIniFile ini(name); // missing when bound; a directory takes its place before the write
    fs::create_directory(name);
    fs::create_directory(fs::path(name) / "inside"); // not empty, so no platform can replace it
    ini.WriteString("S", "k", "2");
    EXPECT_THROW(ini.Flush(), kit::InOutError);
    EXPECT_TRUE(ini.Modified);
    EXPECT_TRUE(fs::is_directory(name));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1); // no temporary file left
}

TEST_F(BigIniTest, SetFileNameFlushesTheOldFileFirst) {
    const std::string first = put("first.ini", "[S]\nk=1\n");
    const std::string second = put("second.ini", "[T]\nm=1\n");
    TBigIniFile ini(first);
    ini.WriteString("S", "k", "2");
    ini.SetFileName(second);
    EXPECT_FALSE(ini.Modified);
    EXPECT_EQ(slurp(first), "[S]\r\nk=2\r\n\r\n");
    EXPECT_FALSE(ini.HasSection("S"));
    EXPECT_EQ(ini.ReadString("T", "m", ""), "1");
}

TEST_F(BigIniTest, CursorsFollowLookups) {
    TBigIniFile ini("");
    load(ini, "[A]\na=1\n[B]\nb=1\n[C]\nc=1\n");
    EXPECT_EQ(ini.ReadString("C", "c", ""), "1");
    EXPECT_EQ(ini.SectionCursor, 2);
    EXPECT_EQ(ini.ReadString("a", "a", ""), "1"); // wraps round to the first
    EXPECT_EQ(ini.SectionCursor, 0);
    EXPECT_TRUE(ini.HasSection("b"));
    EXPECT_EQ(ini.Sections().Cursor, 1);
    EXPECT_FALSE(ini.HasSection("Z"));
    EXPECT_EQ(ini.Sections().Cursor, 1);
    ini.SectionCursor = 99; // out of range: the search starts at the first section
    EXPECT_EQ(ini.ReadString("B", "b", ""), "1");
    ini.WriteString("New", "n", "1");
    EXPECT_EQ(ini.SectionCursor, 3);
    ini.EraseSection("NEW");
    EXPECT_EQ(ini.SectionCursor, 0);
    EXPECT_EQ(ini.Sections().Cursor, 0);
}

// Reads go through the virtual operations, so a derived document sees them all.
TEST_F(BigIniTest, TypedReadsGoThroughReadString) {
    struct Upper : TBigIniFile {
        using TBigIniFile::TBigIniFile;
        int calls = 0;
        std::string ReadString(const std::string& s, const std::string& k, const std::string& d) override {
            ++calls;
            return k == "forced" ? "0x10" : TBigIniFile::ReadString(s, k, d);
        }
    } ini("");
    EXPECT_EQ(ini.ReadInteger("S", "forced", 0), 16);
    EXPECT_TRUE(ini.ReadBool("S", "forced", false));
    EXPECT_EQ(ini.calls, 2);
}

} // namespace

// Long documents are searched through indexes; every answer must be the one a search in order gives.
TEST_F(BigIniTest, LongDocumentsAnswerAsASearchInOrderDoes) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[Big]\n";
    for (int i = 0; i < 40; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    text += "KEY7=late\n Key8=blank before\nKey9 =blank after\nnoequals\n=empty name\n[s3]\nk=duplicate\n";
    struct Case {
        const char* section;
        const char* key;
        const char* want;  // "-" for the default
    };
    const Case cases[] = {
        {"S0", "k", "0"},         {"s39", "K", "39"},      {"S3", "k", "3"},  // the first [s3] wins
        {"big", "key7", "7"},      {"BIG", "Key39", "39"},  {"Big", "Key40", "-"},
        {"Big", "Key8", "8"},      {"Big", " Key8", "blank before"}, {"Big", "Key9 ", "blank after"},
        {"Big", "Key9", "9"},      {"Big", "", "empty name"},        {"Big", "noequals", "-"},
        {"Big", "Key1=1", "-"},    {"S40", "k", "-"},                {"", "k", "-"},
    };
    TBigIniFile ini("");
    load(ini, text);
    for (int round = 0; round < 2; ++round) {  // the second round after changes through the document
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.section) + "/" + c.key + " round " + std::to_string(round));
            EXPECT_EQ(ini.ReadString(c.section, c.key, "-"), c.want);
        }
        ini.WriteString("Big", "KEY3", "3");      // the same line again: no change
        ini.WriteString("Big", "New", "n");       // appended to an indexed section
        ini.WriteString("S1", "k", "1");
        ini.WriteString("Fresh", "k", "f");       // a new section after the index was built
    }
    EXPECT_EQ(ini.ReadString("big", "NEW", "-"), "n");
    EXPECT_EQ(ini.ReadString("FRESH", "K", "-"), "f");
    ini.DeleteKey("Big", "key5");
    EXPECT_EQ(ini.ReadString("Big", "Key5", "-"), "-");
    EXPECT_EQ(ini.ReadString("Big", "Key6", "-"), "6");
    ini.EraseSection("S10");
    EXPECT_FALSE(ini.HasSection("s10"));
    EXPECT_EQ(ini.ReadString("S11", "k", "-"), "11");
    // Lines changed from outside drop the section's index.
    ini.Sections().Lines(ini.Sections().IndexOf("Big")).insert(
        ini.Sections().Lines(ini.Sections().IndexOf("Big")).begin(), "key20=first now");
    EXPECT_EQ(ini.ReadString("Big", "Key20", "-"), "first now");
    // A name added twice by hand: found from the cursor on, as in order.
    ini.Sections().Add("s12");
    ini.Sections().Lines(ini.Sections().Count() - 1).push_back("k=second");
    EXPECT_EQ(ini.ReadString("S12", "k", "-"), "second");  // the cursor stood on [Big], behind [S12]
    ini.SectionCursor = 0;
    EXPECT_EQ(ini.ReadString("S12", "k", "-"), "12");
    ini.Sections().Cursor = 0;
    EXPECT_EQ(ini.Sections().IndexOf("s12"), 12 - 1);  // S10 was erased before it
}

// Loaded lines are kept packed until they are changed or asked for as a list: every way of
// reading a section must see the same lines before and after that, in every section of a load.
TEST_F(BigIniTest, PackedLinesReadAsTheirListDoes) {
    const std::string longValue(100000, 'L');
    const struct {
        const char* what;
        std::string text;
        std::function<void(TBigIniFile&)> change;  // applied after the first look
        std::vector<TStrings> lines;                // each section's lines at the end, in order
    } cases[] = {
        {"untouched", "[A]\r\na=1\r\nb=2\r\n[B]\r\nc=3\r\n", nullptr, {{"a=1", "b=2"}, {"c=3"}}},
        {"a line added to the first section", "[A]\r\na=1\r\n[B]\r\nc=3\r\n",
         [](TBigIniFile& i) { i.WriteString("A", "z", "9"); }, {{"a=1", "z=9"}, {"c=3"}}},
        {"a line replaced and one deleted", "[A]\r\na=1\r\nb=2\r\n[B]\r\nc=3\r\n",
         [](TBigIniFile& i) {
             i.WriteString("A", "b", "7");
             i.DeleteKey("B", "c");
         },
         {{"a=1", "b=7"}, {}}},
        {"a long line moved in whole", "[A]\r\nk=" + longValue + "\r\n[B]\r\nc=3\r\n", nullptr,
         {{"k=" + longValue}, {"c=3"}}},
        {"an empty section between", "[A]\r\n[B]\r\nc=3\r\n[C]\r\nd=4\r\n", nullptr, {{}, {"c=3"}, {"d=4"}}},
        {"merged with a second load", "[A]\r\na=1\r\n",
         [this](TBigIniFile& i) { i.LoadFromFile(put("more.ini", "[a]\r\nlost=1\r\n[B]\r\nb=2\r\n")); },
         {{"a=1"}, {"b=2"}}},
        {"listed, then appended to", "[A]\r\na=1\r\n[B]\r\nc=3\r\n",
         [](TBigIniFile& i) {
             i.Sections().Lines(0).push_back("x=5");
             i.WriteString("B", "y", "6");
         },
         {{"a=1", "x=5"}, {"c=3", "y=6"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TBigIniFile ini("");
        load(ini, c.text, [](TBigIniFile& i) { i.TextBufferSize = 4096; });
        if (c.change) c.change(ini);
        const TSectionList& sections = std::as_const(ini).Sections();
        ASSERT_EQ(sections.Count(), static_cast<std::int32_t>(c.lines.size()));
        for (std::int32_t s = 0; s < sections.Count(); ++s) {
            TStrings packed;
            for (std::size_t l = 0; l < sections.LineCount(s); ++l) packed.emplace_back(sections.Line(s, l));
            EXPECT_EQ(packed, c.lines[static_cast<std::size_t>(s)]) << "section " << s << ", packed";
            EXPECT_EQ(sections.Lines(s), c.lines[static_cast<std::size_t>(s)]) << "section " << s << ", listed";
            for (std::size_t l = 0; l < sections.LineCount(s); ++l)
                EXPECT_EQ(sections.Line(s, l), c.lines[static_cast<std::size_t>(s)][l]) << "after listing";
        }
        // What the file would hold, and a value read through the key index of either form.
        TStrings expected;
        for (std::int32_t s = 0; s < sections.Count(); ++s) {
            if (c.lines[static_cast<std::size_t>(s)].empty()) continue;
            expected.push_back("[" + sections.Name(s) + "]");
            for (const std::string& line : c.lines[static_cast<std::size_t>(s)]) expected.push_back(line);
            expected.emplace_back();
        }
        EXPECT_EQ(contents(ini), expected);
    }
}

TEST_F(BigIniTest, KeyNamesOneByOneWhileTheVisitorReadsTheDocument) {
    std::string text = "[Items]\n=nameless\nplain\n";
    for (int i = 0; i < 300; ++i) text += "k" + std::to_string(i) + "=v\n";
    text += "[k7]\nCaption=seven\n";
    TBigIniFile ini("");
    load(ini, text);
    TStrings listed;
    ini.ReadSection("items", listed);
    ASSERT_EQ(listed.size(), 300u);
    TStrings visited, captions;
    ini.ForEachKeyName("ITEMS", [&](const std::string& name) {
        visited.push_back(name);
        // Reads between the visits, as a builder makes them: other sections and this one's keys.
        captions.push_back(ini.ReadString(name, "Caption", ""));
        TStrings all;
        ini.ReadSectionValues("Items", all);
        EXPECT_EQ(ini.ReadString("Items", name, "missing"), "v");
    });
    EXPECT_EQ(visited, listed);
    EXPECT_EQ(captions[7], "seven");
    EXPECT_EQ(captions[8], "");
    int calls = 0;
    ini.ForEachKeyName("Missing", [&](const std::string&) { ++calls; });
    EXPECT_EQ(calls, 0);
}
