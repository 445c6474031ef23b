#include <gtest/gtest.h>

#include "pdf/document/LinkAction.h"
#include "pdf/document/PdfDocEncoding.h"
#include "pdf/objects/PdfArray.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

LinkDest destFrom(const std::string& text) { return LinkDest(*parseValue(text).getArray()); }

TEST(LinkDest, ParsesEveryViewAndRejectsMalformedArrays) {
    struct Case {
        const char* text;
        DestKind kind;
        bool isRef;
        uint32_t page;
        double left, bottom, right, top, zoom;
        bool changeLeft, changeTop, changeZoom;
    };
    const Case cases[] = {
        {"[12 3 R /XYZ 10 20.5 2]", destXYZ, true, 12, 10, 0, 0, 20.5, 2, true, true, true},
        {"[4 /XYZ null 30 null]", destXYZ, false, 5, 0, 0, 0, 30, 0, false, true, false},
        {"[4 /XYZ 5]", destXYZ, false, 5, 5, 0, 0, 0, 0, true, false, false},
        {"[4 /XYZ]", destXYZ, false, 5, 0, 0, 0, 0, 0, false, false, false},
        {"[1 0 R /Fit]", destFit, true, 1, 0, 0, 0, 0, 0, false, false, false},
        {"[0 /FitB]", destFitB, false, 1, 0, 0, 0, 0, 0, false, false, false},
        {"[1 0 R /FitH 700]", destFitH, true, 1, 0, 0, 0, 700, 0, false, false, false},
        {"[1 0 R /FitBH null]", destFitBH, true, 1, 0, 0, 0, 0, 0, false, false, false},
        {"[1 0 R /FitV 1]", destFitV, true, 1, 1, 0, 0, 0, 0, false, false, false},
        {"[1 0 R /FitBV 33.5]", destFitBV, true, 1, 33.5, 0, 0, 0, 0, false, false, false},
        {"[1 0 R /FitR 1 2 3.5 4]", destFitR, true, 1, 1, 2, 3.5, 4, 0, false, false, false},
    };
    for (const Case& c : cases) {
        const LinkDest dest = destFrom(c.text);
        ASSERT_TRUE(dest.isOk()) << c.text;
        EXPECT_EQ(dest.getKind(), c.kind) << c.text;
        EXPECT_EQ(dest.isPageRef(), c.isRef) << c.text;
        EXPECT_EQ(dest.getPageNumber(), c.page) << c.text;
        EXPECT_EQ(dest.getLeft(), c.left) << c.text;
        EXPECT_EQ(dest.getBottom(), c.bottom) << c.text;
        EXPECT_EQ(dest.getRight(), c.right) << c.text;
        EXPECT_EQ(dest.getTop(), c.top) << c.text;
        EXPECT_EQ(dest.getZoom(), c.zoom) << c.text;
        EXPECT_EQ(dest.getChangeLeft(), c.changeLeft) << c.text;
        EXPECT_EQ(dest.getChangeTop(), c.changeTop) << c.text;
        EXPECT_EQ(dest.getChangeZoom(), c.changeZoom) << c.text;
    }
    EXPECT_EQ(destFrom("[12 3 R /Fit]").getPageGeneration(), 3u);
    for (const char* bad : {"[]", "[/Fit]", "[(p) /Fit]", "[1.0 /Fit]", "[1 (Fit)]", "[1 /fit]", "[1 /Zoom]",
                            "[1 /XYZ 5 /top 1]", "[1 /XYZ 5 6 (1)]", "[1 /FitH]", "[1 /FitV /left]",
                            "[1 /FitR 0 0 100]", "[1 /FitR 0 0 100 null]"}) {
        EXPECT_FALSE(destFrom(bad).isOk()) << bad;
    }
}

std::unique_ptr<LinkAction> actionFrom(const std::string& text, const std::string& base = "") {
    return makeLinkAction(parseValue(text), base);
}

template <typename Kind>
const Kind& as(const std::unique_ptr<LinkAction>& action, LinkActionKind kind) {
    EXPECT_NE(action, nullptr);
    EXPECT_EQ(action->getKind(), kind);
    EXPECT_TRUE(action->isOk());
    return static_cast<const Kind&>(*action);
}

TEST(LinkAction, EachTypeTakesItsEntries) {
    EXPECT_EQ(as<LinkGoTo>(actionFrom("<< /S /GoTo /D [2 /FitH 10] >>"), actionGoTo).getTarget().getDest()->getTop(),
              10);
    EXPECT_EQ(as<LinkGoTo>(actionFrom("<< /S /GoTo /D <6E616D6564> >>"), actionGoTo).getTarget().getNamedDest(),
              "named");

    const auto remote = actionFrom("<< /S /GoToR /F (other.pdf) /D /Intro /NewWindow true >>");
    EXPECT_EQ(as<LinkGoToR>(remote, actionGoToR).getFileName(), "other.pdf");
    EXPECT_EQ(as<LinkGoToR>(remote, actionGoToR).getTarget().getNamedDest(), "Intro");
    EXPECT_TRUE(as<LinkGoToR>(remote, actionGoToR).getNewWindow());
    const auto notBoolean = actionFrom("<< /S /GoToR /F << /F (a.pdf) >> /D [0 /Fit] /NewWindow 1 >>");
    EXPECT_FALSE(as<LinkGoToR>(notBoolean, actionGoToR).getNewWindow());

    const auto windows = actionFrom("<< /S /Launch /Win << /F (notepad.exe) /P (readme.txt) >> >>");
    EXPECT_EQ(as<LinkLaunch>(windows, actionLaunch).getFileName(), "notepad.exe");
    EXPECT_EQ(as<LinkLaunch>(windows, actionLaunch).getParameters(), "readme.txt");
    EXPECT_EQ(as<LinkURI>(actionFrom("<< /S /URI /URI (http://e.org/a) >>"), actionURI).getURI(), "http://e.org/a");
    EXPECT_EQ(as<LinkNamed>(actionFrom("<< /S /Named /N /FirstPage >>"), actionNamed).getName(), "FirstPage");

    // A Movie's title counts only when there is no annotation reference.
    const auto movie = actionFrom("<< /S /Movie /Annot 17 0 R /T (ignored) >>");
    EXPECT_EQ(as<LinkMovie>(movie, actionMovie).getAnnotationNumber(), 17);
    EXPECT_EQ(as<LinkMovie>(movie, actionMovie).getTitle(), "");
    const auto titled = actionFrom("<< /S /Movie /T (Clip) >>");
    EXPECT_EQ(as<LinkMovie>(titled, actionMovie).getAnnotationNumber(), LinkMovie::kNoAnnotation);
    EXPECT_EQ(as<LinkMovie>(titled, actionMovie).getTitle(), "Clip");

    // Type names compare exactly; anything unknown is kept by its name.
    EXPECT_EQ(as<LinkUnknown>(actionFrom("<< /S /goto /D /x >>"), actionUnknown).getTypeName(), "goto");
}

TEST(LinkAction, UnusableActionsAreDropped) {
    for (const char* text : {
             "<< /S /GoTo /D [2 /Nowhere] >>", "<< /S /GoTo >>", "<< /S /GoTo /D () >>",
             "<< /S /GoToR /D /Intro >>", "<< /S /GoToR /F (other.pdf) >>",
             // F wins over Win, even when it gives no name.
             "<< /S /Launch /F 5 /Win << /F (notepad.exe) >> >>", "<< /S /Launch >>",
             "<< /S /URI /URI () >>", "<< /S /URI /URI /name >>", "<< /S /Named /N (FirstPage) >>",
             "<< /S /Movie /Annot << /Subtype /Movie >> >>", "<< /S (GoTo) /D /x >>", "<< /D /x >>", "[/GoTo]",
             "null"}) {
        EXPECT_EQ(actionFrom(text), nullptr) << text;
    }
}

TEST(LinkAction, RelativeUrisJoinANonEmptyBase) {
    const auto uri = [](const char* text, const char* base) {
        return as<LinkURI>(actionFrom(std::string("<< /S /URI /URI (") + text + ") >>", base), actionURI).getURI();
    };
    EXPECT_EQ(uri("page.html", "http://e.org/docs/"), "http://e.org/docs/page.html");
    EXPECT_EQ(uri("/page.html", "http://e.org/docs/"), "http://e.org/docs/page.html");
    EXPECT_EQ(uri("page.html", "http://e.org"), "http://e.org/page.html");
    EXPECT_EQ(uri("mailto:someone@e.org", "http://e.org/"), "mailto:someone@e.org");
    EXPECT_EQ(uri("page.html", ""), "page.html");
}

TEST(FileSpec, TextComesFromAStringOrTheDictionaryEntries) {
    EXPECT_EQ(getFileSpecText(parseValue("(plain.pdf)")), "plain.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<6869>")), "hi");
    EXPECT_EQ(getFileSpecText(parseValue("<< /Unix (u.pdf) /F (f.pdf) >>")), "u.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<< /Unix /u.pdf /F (f.pdf) >>")), "f.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<< /UF (uf.pdf) >>")), "");
    EXPECT_EQ(getFileSpecText(parseValue("12")), "");
}

TEST(PdfDocEncoding, TableAndTextStrings) {
    const std::pair<uint8_t, uint32_t> table[] = {
        {0x00, 0},      {0x09, 0},      {0x17, 0},      {0x18, 0x02D8}, {0x1F, 0x02DC}, {0x20, 0x20},
        {0x7E, 0x7E},   {0x7F, 0},      {0x80, 0x2022}, {0x8A, 0x2212}, {0x93, 0xFB01}, {0x9E, 0x017E},
        {0x9F, 0},      {0xA0, 0x20AC}, {0xA1, 0xA1},   {0xAD, 0},      {0xAE, 0xAE},   {0xFF, 0xFF},
    };
    for (const auto& entry : table) EXPECT_EQ(pdfDocEncodingToUnicode(entry.first), entry.second) << int(entry.first);

    using Points = std::vector<uint32_t>;
    EXPECT_EQ(decodeTextString(std::string("\xFE\xFF\x00\x41\x20\xAC", 6)), (Points{0x41, 0x20AC}));
    // An odd trailing byte has no partner; only the big-endian mark counts.
    EXPECT_EQ(decodeTextString(std::string("\xFE\xFF\x00\x41\x20", 5)), (Points{0x41}));
    EXPECT_EQ(decodeTextString("\xFE\xFF"), Points{});
    EXPECT_EQ(decodeTextString("\xFF\xFE" "A"), (Points{0xFF, 0xFE, 0x41}));
}

}  // namespace
