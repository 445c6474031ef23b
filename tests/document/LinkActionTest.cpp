#include <gtest/gtest.h>

#include "pdf/document/LinkAction.h"
#include "pdf/document/PdfDocEncoding.h"
#include "pdf/objects/PdfArray.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

LinkDest destFrom(const std::string& text) {
    const CPdfElement array = parseValue(text);
    EXPECT_TRUE(array.is(kindArray)) << text;
    return LinkDest(*array.getArray());
}

TEST(LinkDest, PageIsAReferenceOrAnIndex) {
    const LinkDest byRef = destFrom("[12 3 R /Fit]");
    ASSERT_TRUE(byRef.isOk());
    EXPECT_TRUE(byRef.isPageRef());
    EXPECT_EQ(byRef.getPageNumber(), 12u);
    EXPECT_EQ(byRef.getPageGeneration(), 3u);

    const LinkDest byIndex = destFrom("[4 /FitB]");
    ASSERT_TRUE(byIndex.isOk());
    EXPECT_FALSE(byIndex.isPageRef());
    EXPECT_EQ(byIndex.getPageNumber(), 5u);
    EXPECT_EQ(byIndex.getKind(), destFitB);

    for (const char* bad : {"[/Fit]", "[]", "[(p) /Fit]", "[1.0 /Fit]", "[null /Fit]", "[1 (Fit)]", "[1 /fit]",
                            "[1 /Zoom]"}) {
        EXPECT_FALSE(destFrom(bad).isOk()) << bad;
    }
}

TEST(LinkDest, XyzTakesTheNumbersGivenAndFlagsThem) {
    const LinkDest full = destFrom("[1 0 R /XYZ 10 20.5 2]");
    ASSERT_TRUE(full.isOk());
    EXPECT_EQ(full.getKind(), destXYZ);
    EXPECT_EQ(full.getLeft(), 10);
    EXPECT_EQ(full.getTop(), 20.5);
    EXPECT_EQ(full.getZoom(), 2);
    EXPECT_TRUE(full.getChangeLeft() && full.getChangeTop() && full.getChangeZoom());

    const LinkDest nulls = destFrom("[1 0 R /XYZ null 30 null]");
    ASSERT_TRUE(nulls.isOk());
    EXPECT_FALSE(nulls.getChangeLeft());
    EXPECT_TRUE(nulls.getChangeTop());
    EXPECT_FALSE(nulls.getChangeZoom());
    EXPECT_EQ(nulls.getLeft(), 0);
    EXPECT_EQ(nulls.getTop(), 30);

    const LinkDest shortForm = destFrom("[1 0 R /XYZ 5]");
    ASSERT_TRUE(shortForm.isOk());
    EXPECT_TRUE(shortForm.getChangeLeft());
    EXPECT_FALSE(shortForm.getChangeTop());
    EXPECT_FALSE(shortForm.getChangeZoom());
    EXPECT_TRUE(destFrom("[1 0 R /XYZ]").isOk());

    EXPECT_FALSE(destFrom("[1 0 R /XYZ 5 /top 1]").isOk());
    EXPECT_FALSE(destFrom("[1 0 R /XYZ 5 6 (1)]").isOk());
}

TEST(LinkDest, FitVariantsNeedTheirNumbers) {
    const LinkDest fitH = destFrom("[1 0 R /FitH 700]");
    ASSERT_TRUE(fitH.isOk());
    EXPECT_EQ(fitH.getKind(), destFitH);
    EXPECT_EQ(fitH.getTop(), 700);
    EXPECT_EQ(fitH.getLeft(), 0);

    const LinkDest fitBV = destFrom("[1 0 R /FitBV 33.5]");
    ASSERT_TRUE(fitBV.isOk());
    EXPECT_EQ(fitBV.getKind(), destFitBV);
    EXPECT_EQ(fitBV.getLeft(), 33.5);
    EXPECT_EQ(fitBV.getTop(), 0);

    EXPECT_EQ(destFrom("[1 0 R /FitBH null]").getKind(), destFitBH);
    EXPECT_TRUE(destFrom("[1 0 R /FitBH null]").isOk());
    EXPECT_EQ(destFrom("[1 0 R /FitV 1]").getKind(), destFitV);
    EXPECT_EQ(destFrom("[1 0 R /Fit]").getKind(), destFit);
    EXPECT_FALSE(destFrom("[1 0 R /FitH]").isOk());
    EXPECT_FALSE(destFrom("[1 0 R /FitV /left]").isOk());

    const LinkDest fitR = destFrom("[1 0 R /FitR 1 2 3.5 4]");
    ASSERT_TRUE(fitR.isOk());
    EXPECT_EQ(fitR.getKind(), destFitR);
    EXPECT_EQ(fitR.getLeft(), 1);
    EXPECT_EQ(fitR.getBottom(), 2);
    EXPECT_EQ(fitR.getRight(), 3.5);
    EXPECT_EQ(fitR.getTop(), 4);
    EXPECT_FALSE(destFrom("[1 0 R /FitR 0 0 100]").isOk());
    EXPECT_FALSE(destFrom("[1 0 R /FitR 0 0 100 null]").isOk());
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

TEST(LinkAction, GoToAndGoToRTakeTheirDestinations) {
    const auto goTo = actionFrom("<< /S /GoTo /D [2 /FitH 10] >>");
    EXPECT_EQ(as<LinkGoTo>(goTo, actionGoTo).getTarget().getDest()->getPageNumber(), 3u);
    EXPECT_EQ(as<LinkGoTo>(actionFrom("<< /S /GoTo /D (named) >>"), actionGoTo).getTarget().getNamedDest(),
              "named");
    EXPECT_EQ(as<LinkGoTo>(actionFrom("<< /S /GoTo /D <6E616D6564> >>"), actionGoTo).getTarget().getNamedDest(),
              "named");
    EXPECT_EQ(actionFrom("<< /S /GoTo /D [2 /Nowhere] >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /S /GoTo >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /S /GoTo /D () >>"), nullptr);

    const auto remote = actionFrom("<< /S /GoToR /F (other.pdf) /D /Intro /NewWindow true >>");
    const LinkGoToR& goToR = as<LinkGoToR>(remote, actionGoToR);
    EXPECT_EQ(goToR.getFileName(), "other.pdf");
    EXPECT_EQ(goToR.getTarget().getNamedDest(), "Intro");
    EXPECT_TRUE(goToR.getNewWindow());
    EXPECT_FALSE(
        as<LinkGoToR>(actionFrom("<< /S /GoToR /F << /F (a.pdf) >> /D [0 /Fit] /NewWindow 1 >>"), actionGoToR)
            .getNewWindow());
    // Without F, or without a destination, the action is dropped.
    EXPECT_EQ(actionFrom("<< /S /GoToR /D /Intro >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /S /GoToR /F (other.pdf) >>"), nullptr);
}

TEST(LinkAction, LaunchUriNamedAndMovie) {
    EXPECT_EQ(as<LinkLaunch>(actionFrom("<< /S /Launch /F << /Unix (/bin/x) /F (x.exe) >> >>"), actionLaunch)
                  .getFileName(),
              "/bin/x");
    const auto windows = actionFrom("<< /S /Launch /Win << /F (notepad.exe) /P (readme.txt) >> >>");
    EXPECT_EQ(as<LinkLaunch>(windows, actionLaunch).getFileName(), "notepad.exe");
    EXPECT_EQ(as<LinkLaunch>(windows, actionLaunch).getParameters(), "readme.txt");
    // F wins over Win, even when it gives no name.
    EXPECT_EQ(actionFrom("<< /S /Launch /F 5 /Win << /F (notepad.exe) >> >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /S /Launch >>"), nullptr);

    EXPECT_EQ(as<LinkURI>(actionFrom("<< /S /URI /URI (http://example.org/a) >>"), actionURI).getURI(),
              "http://example.org/a");
    EXPECT_EQ(actionFrom("<< /S /URI /URI () >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /S /URI /URI /name >>"), nullptr);

    EXPECT_EQ(as<LinkNamed>(actionFrom("<< /S /Named /N /FirstPage >>"), actionNamed).getName(), "FirstPage");
    EXPECT_EQ(actionFrom("<< /S /Named /N (FirstPage) >>"), nullptr);

    const auto movie = actionFrom("<< /S /Movie /Annot 17 0 R /T (ignored) >>");
    EXPECT_EQ(as<LinkMovie>(movie, actionMovie).getAnnotationNumber(), 17);
    EXPECT_EQ(as<LinkMovie>(movie, actionMovie).getTitle(), "");
    const auto titled = actionFrom("<< /S /Movie /T (Clip) >>");
    EXPECT_EQ(as<LinkMovie>(titled, actionMovie).getAnnotationNumber(), LinkMovie::kNoAnnotation);
    EXPECT_EQ(as<LinkMovie>(titled, actionMovie).getTitle(), "Clip");
    EXPECT_EQ(actionFrom("<< /S /Movie /Annot << /Subtype /Movie >> >>"), nullptr);
}

TEST(LinkAction, OtherTypesAreKeptByNameAndUnusableOnesDropped) {
    EXPECT_EQ(as<LinkUnknown>(actionFrom("<< /S /SubmitForm /F (x) >>"), actionUnknown).getTypeName(),
              "SubmitForm");
    // Names compare exactly.
    EXPECT_EQ(as<LinkUnknown>(actionFrom("<< /S /goto /D /x >>"), actionUnknown).getTypeName(), "goto");
    EXPECT_EQ(actionFrom("<< /S (GoTo) /D /x >>"), nullptr);
    EXPECT_EQ(actionFrom("<< /D /x >>"), nullptr);
    EXPECT_EQ(actionFrom("[/GoTo]"), nullptr);
    EXPECT_EQ(actionFrom("null"), nullptr);
}

TEST(LinkAction, RelativeUrisJoinANonEmptyBase) {
    const auto uri = [](const char* text, const char* base) {
        const auto action = actionFrom(std::string("<< /S /URI /URI (") + text + ") >>", base);
        return action ? static_cast<const LinkURI&>(*action).getURI() : std::string("<dropped>");
    };
    EXPECT_EQ(uri("page.html", "http://example.org/docs/"), "http://example.org/docs/page.html");
    EXPECT_EQ(uri("/page.html", "http://example.org/docs/"), "http://example.org/docs/page.html");
    EXPECT_EQ(uri("page.html", "http://example.org"), "http://example.org/page.html");
    EXPECT_EQ(uri("mailto:someone@example.org", "http://example.org/"), "mailto:someone@example.org");
    EXPECT_EQ(uri("page.html", ""), "page.html");
    EXPECT_EQ(uri("", "http://example.org/"), "<dropped>");
}

TEST(FileSpec, TextComesFromAStringOrTheDictionaryEntries) {
    EXPECT_EQ(getFileSpecText(parseValue("(plain.pdf)")), "plain.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<6869>")), "hi");
    EXPECT_EQ(getFileSpecText(parseValue("<< /Unix (u.pdf) /F (f.pdf) >>")), "u.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<< /Unix /u.pdf /F (f.pdf) >>")), "f.pdf");
    EXPECT_EQ(getFileSpecText(parseValue("<< /UF (uf.pdf) >>")), "");
    EXPECT_EQ(getFileSpecText(parseValue("/name.pdf")), "");
    EXPECT_EQ(getFileSpecText(parseValue("12")), "");
}

TEST(PdfDocEncoding, TableFollowsTheStandardEncoding) {
    struct Case {
        uint8_t code;
        uint32_t unicode;
    };
    const Case cases[] = {
        {0x00, 0},      {0x09, 0},      {0x17, 0},      {0x18, 0x02D8}, {0x1B, 0x02D9}, {0x1F, 0x02DC},
        {0x20, 0x20},   {0x41, 0x41},   {0x7E, 0x7E},   {0x7F, 0},      {0x80, 0x2022}, {0x8A, 0x2212},
        {0x8D, 0x201C}, {0x92, 0x2122}, {0x93, 0xFB01}, {0x95, 0x0141}, {0x9E, 0x017E}, {0x9F, 0},
        {0xA0, 0x20AC}, {0xA1, 0xA1},   {0xAC, 0xAC},   {0xAD, 0},      {0xAE, 0xAE},   {0xFF, 0xFF},
    };
    for (const Case& c : cases) EXPECT_EQ(pdfDocEncodingToUnicode(c.code), c.unicode) << int(c.code);
}

TEST(PdfDocEncoding, TextStringsDecodeByTheirMark) {
    using Points = std::vector<uint32_t>;
    EXPECT_EQ(decodeTextString(std::string("\xFE\xFF\x00\x41\x20\xAC", 6)), (Points{0x41, 0x20AC}));
    // An odd trailing byte has no partner.
    EXPECT_EQ(decodeTextString(std::string("\xFE\xFF\x00\x41\x20", 5)), (Points{0x41}));
    EXPECT_EQ(decodeTextString("\xFE\xFF"), Points{});
    // Only the big-endian mark counts; anything else is PDFDocEncoding.
    EXPECT_EQ(decodeTextString("\xFF\xFE" "A"), (Points{0xFF, 0xFE, 0x41}));
    EXPECT_EQ(decodeTextString("\xFE"), (Points{0xFE}));
    EXPECT_EQ(decodeTextString(""), Points{});
}

}  // namespace
