#include <gtest/gtest.h>

#include <vector>

#include "pdf/document/PdfCatalog.h"
#include "pdf/objects/PdfArray.h"
#include "pdf/objects/PdfDictionary.h"
#include "pdf/stream/InputFile.h"
#include "pdf/stream/PdfFileStream.h"
#include "pdf/xref/PdfXRef.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

std::string ref(int number) { return std::to_string(number) + " 0 R"; }

std::string page(const std::string& extra = "") { return "<< /Type /Page /Parent 2 0 R " + extra + " >>"; }

// Pages numbered from 10 in the order given, each with its own /Rotate marking its object number.
std::vector<int> pageObjectsInOrder(CPdfDocument& document) {
    std::vector<int> numbers;
    for (const CPdfPage& page : document.getCatalog()->getPages()) {
        CPdfElement marker;
        page.getResources().getDictionary()->lookup("Marker", marker);
        numbers.push_back(marker.getInteger());
    }
    return numbers;
}

std::string markedPage(int number) { return page("/Resources << /Marker " + std::to_string(number) + " >>"); }

TEST(PageTree, PagesAreNumberedInKidsOrderAndNestedNodesFlattenDepthFirst) {
    PdfBuilder builder = builderWithCatalog();
    // 2: [12, 5, 11]; 5: [10, 6]; 6: [13] with a direct intermediate node too.
    builder.addObject(2, "<< /Type /Pages /Kids [12 0 R 5 0 R 11 0 R << /Kids [14 0 R] >>] /Count 5 >>");
    builder.addObject(5, "<< /Type /Pages /Kids [10 0 R 6 0 R] /Count 2 >>");
    builder.addObject(6, "<< /Kids [13 0 R] /Count 1 >>");
    for (int number = 10; number <= 14; ++number) builder.addObject(number, markedPage(number));
    OpenedDocument document(builder.build());
    EXPECT_EQ(pageObjectsInOrder(document.get()), (std::vector<int>{12, 10, 13, 11, 14}));
    const std::vector<CPdfPage>& pages = document->getCatalog()->getPages();
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].getPageNumber(), static_cast<int32_t>(i + 1));
        EXPECT_EQ(pages[i].getXRef(), document->getXRef());
    }
}

TEST(PageTree, RotateIsTheIntegerNormalisedIntoOneTurn) {
    struct Case {
        const char* rotate;
        int32_t expected;
    };
    const Case cases[] = {
        {"", 0},   {"/Rotate 90", 90},   {"/Rotate -90", 270},          {"/Rotate 450", 90},
        {"/Rotate 720", 0}, {"/Rotate 45", 45}, {"/Rotate 90.0", 0},   {"/Rotate -2147483648", 232},
        {"/Rotate 2147483647", 127}, {"/Rotate 3 0 R", 180}, {"/Rotate /Ninety", 0},
    };
    PdfBuilder builder = builderWithCatalog();
    std::string kids;
    int number = 10;
    for (const Case& c : cases) {
        builder.addObject(number, page(c.rotate));
        kids += ref(number++) + " ";
    }
    builder.addObject(2, "<< /Type /Pages /Kids [" + kids + "] /Count 1 >>");
    builder.addObject(3, "-180");
    OpenedDocument document(builder.build());
    const std::vector<CPdfPage>& pages = document->getCatalog()->getPages();
    ASSERT_EQ(pages.size(), std::size(cases));
    for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].getRotate(), cases[i].expected) << cases[i].rotate;
}

TEST(PageTree, ContentsAndResourcesComeFromTheLeafItself) {
    PdfBuilder builder = builderWithCatalog();
    // Rotate and Resources on the top node are not inherited.
    builder.addObject(2, "<< /Type /Pages /Kids [10 0 R 11 0 R 12 0 R 13 0 R 14 0 R] /Count 5 /Rotate 90"
                         " /Resources << /A 1 >> >>");
    builder.addObject(10, page("/Contents 20 0 R /Resources 30 0 R"));
    builder.addObject(11, page("/Contents [20 0 R 21 0 R] /Resources << /ProcSet [/PDF] >>"));
    builder.addObject(12, page("/Contents << /Length 0 >> /Resources 31 0 R"));
    builder.addObject(13, page("/Contents 7"));
    builder.addObject(14, page());
    builder.addStream(20, "", "q Q");
    builder.addStream(21, "", "q Q");
    builder.addObject(30, "<< /Font << >> >>");
    builder.addObject(31, "[/PDF]");
    OpenedDocument document(builder.build());
    const std::vector<CPdfPage>& pages = document->getCatalog()->getPages();
    ASSERT_EQ(pages.size(), 5u);

    ASSERT_TRUE(pages[0].getContents().is(kindReference));
    EXPECT_EQ(pages[0].getContents().getRefNumber(), 20);
    ASSERT_TRUE(pages[0].getResources().is(kindDictionary));
    EXPECT_EQ(pages[0].getResources().getDictionary()->getKey(0), "Font");

    // The array keeps its references unresolved.
    ASSERT_TRUE(pages[1].getContents().is(kindArray));
    const CPdfArray& array = *pages[1].getContents().getArray();
    ASSERT_EQ(array.getLength(), 2);
    EXPECT_TRUE(array.at(0).is(kindReference));
    EXPECT_EQ(array.at(1).getRefNumber(), 21);
    ASSERT_TRUE(pages[1].getResources().is(kindDictionary));
    EXPECT_EQ(pages[1].getResources().getDictionary()->getKey(0), "ProcSet");

    // A direct dictionary, a number or nothing: null contents; no dictionary: no resources.
    for (size_t i = 2; i < 5; ++i) {
        EXPECT_TRUE(pages[i].getContents().is(kindNull)) << i;
        EXPECT_TRUE(pages[i].getResources().is(kindNone)) << i;
        EXPECT_EQ(pages[i].getRotate(), 0);
    }
}

TEST(PageTree, CatalogKeepsDestsNamesAndOutlines) {
    PdfBuilder builder = builderWithCatalog("/Dests 5 0 R /Names << /Dests 6 0 R >> /Outlines 7 0 R");
    builder.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    builder.addObject(5, "<< /Here [0 /Fit] >>");
    builder.addObject(6, "<< /Names [(a) [0 /Fit]] >>");
    builder.addObject(7, "<< /Type /Outlines /Count 0 >>");
    OpenedDocument document(builder.build());
    const CPdfCatalog& catalog = *document->getCatalog();
    EXPECT_TRUE(catalog.getPages().empty());
    ASSERT_TRUE(catalog.getDests().is(kindDictionary));
    EXPECT_EQ(catalog.getDests().getDictionary()->getKey(0), "Here");
    ASSERT_TRUE(catalog.getNameDests().is(kindDictionary));
    EXPECT_EQ(catalog.getNameDests().getDictionary()->getKey(0), "Names");
    ASSERT_TRUE(catalog.getOutlines().is(kindDictionary));
    EXPECT_TRUE(catalog.getOutlines().getDictionary()->isType("Outlines"));

    PdfBuilder bare = builderWithCatalog("/Names [1 2]");
    bare.addObject(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    OpenedDocument without(bare.build());
    EXPECT_TRUE(without->getCatalog()->getDests().is(kindNull));
    EXPECT_TRUE(without->getCatalog()->getNameDests().is(kindNull));
    EXPECT_TRUE(without->getCatalog()->getOutlines().is(kindNull));
}

TEST(PageTree, TopLevelCountMayBeAnyNumberButMustBeThere) {
    const auto withPages = [](const std::string& pagesBody) {
        PdfBuilder builder = builderWithCatalog();
        builder.addObject(2, pagesBody);
        builder.addObject(10, page());
        builder.addObject(11, "2");
        return builder.build();
    };
    EXPECT_EQ(openError(withPages("<< /Type /Pages /Kids [10 0 R] /Count 3.0 >>")), "");
    // The value is not checked against the walk.
    EXPECT_EQ(openError(withPages("<< /Type /Pages /Kids [10 0 R] /Count 99 >>")), "");
    EXPECT_EQ(openError(withPages("<< /Type /Pages /Kids [10 0 R] /Count 11 0 R >>")), "");
    const char* countError = "Page count in top-level pages object is wrong type";
    EXPECT_EQ(openError(withPages("<< /Type /Pages /Kids [10 0 R] >>")), countError);
    EXPECT_EQ(openError(withPages("<< /Type /Pages /Kids [10 0 R] /Count /One >>")), countError);
}

TEST(PageTree, MalformedCatalogAndTreeGiveTheirMessages) {
    struct Case {
        std::string catalog;
        std::string pages;
        std::string extra;
        const char* message;
    };
    const Case cases[] = {
        {"[1 0 R]", "<< /Kids [] /Count 0 >>", "", "Catalog object is wrong type"},
        {"<< /Type /Catalog >>", "<< /Kids [] /Count 0 >>", "", "Top-level pages object is wrong type"},
        {"<< /Pages 2 0 R >>", "[10 0 R]", "", "Top-level pages object is wrong type"},
        {"<< /Pages 2 0 R >>", "<< /Count 1 >>", "", "Kids object is wrong type"},
        {"<< /Pages 2 0 R >>", "<< /Kids 10 0 R /Count 1 >>", page(), "Kids object is wrong type"},
        // A leaf without Type is taken for an intermediate node, which then lacks Kids.
        {"<< /Pages 2 0 R >>", "<< /Kids [10 0 R] /Count 1 >>", "<< /MediaBox [0 0 1 1] >>",
         "Kids object is wrong type"},
        // So is a leaf whose Type is a reference.
        {"<< /Pages 2 0 R >>", "<< /Kids [10 0 R] /Count 1 >>", "<< /Type 11 0 R >>", "Kids object is wrong type"},
        {"<< /Pages 2 0 R >>", "<< /Kids [10 0 R 12] /Count 1 >>", page(), "Kid object is wrong type"},
        // Object 20 is not in the table; object 0 is the free head.
        {"<< /Pages 2 0 R >>", "<< /Kids [10 0 R 0 0 R] /Count 1 >>", page(), "Kid object is wrong type"},
        {"<< /Pages 2 0 R >>", "<< /Kids [10 1 R] /Count 1 >>", page(), "Kid object is wrong type"},
    };
    for (const Case& c : cases) {
        PdfBuilder builder;
        builder.addObject(1, c.catalog);
        builder.addObject(2, c.pages);
        if (!c.extra.empty()) builder.addObject(10, c.extra);
        builder.addObject(11, "/Page");
        builder.setTrailer("/Root 1 0 R");
        EXPECT_EQ(openError(builder.build()), c.message) << c.catalog << " " << c.pages << " " << c.extra;
    }
}

TEST(PageTree, RootThatIsFreeIsNotACatalog) {
    PdfBuilder builder;
    builder.addObject(2, "<< /Kids [] /Count 0 >>");
    builder.setTrailer("/Root 0 0 R");
    EXPECT_EQ(openError(builder.build()), "Catalog object is wrong type");
}

TEST(PageTree, TreesThatLeadBackToAnAncestorAreRefused) {
    const char* message = "Page tree refers back to one of its own ancestors";
    {
        PdfBuilder builder = builderWithCatalog();
        builder.addObject(2, "<< /Type /Pages /Kids [2 0 R] /Count 1 >>");
        EXPECT_EQ(openError(builder.build()), message);
    }
    {
        PdfBuilder builder = builderWithCatalog();
        builder.addObject(2, "<< /Type /Pages /Kids [10 0 R 3 0 R] /Count 1 >>");
        builder.addObject(3, "<< /Type /Pages /Kids [4 0 R] >>");
        builder.addObject(4, "<< /Kids [<< /Kids [10 0 R 2 0 R] >>] >>");
        builder.addObject(10, page());
        EXPECT_EQ(openError(builder.build()), message);
    }
}

TEST(PageTree, SharedNodesThatAreNotAncestorsAreWalkedEachTime) {
    PdfBuilder builder = builderWithCatalog();
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R 3 0 R 10 0 R] /Count 5 >>");
    builder.addObject(3, "<< /Type /Pages /Kids [10 0 R 10 0 R] /Count 2 >>");
    builder.addObject(10, page());
    OpenedDocument document(builder.build());
    const std::vector<CPdfPage>& pages = document->getCatalog()->getPages();
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(pages.back().getPageNumber(), 5);
}

std::string nestedTree(int levels) {
    // Object 2 is the top; objects 3 .. levels + 2 nest one below the other; 1000 is the page.
    PdfBuilder builder = builderWithCatalog();
    for (int level = 0; level <= levels; ++level) {
        const int number = level + 2;
        const std::string kid = level == levels ? ref(1000) : ref(number + 1);
        builder.addObject(number, "<< /Type /Pages /Kids [" + kid + "] /Count 1 >>");
    }
    builder.addObject(1000, page());
    return builder.build();
}

TEST(PageTree, NestingIsBounded) {
    OpenedDocument deep(nestedTree(CPdfCatalog::kMaxTreeDepth));
    EXPECT_EQ(deep->getCatalog()->getPages().size(), 1u);
    EXPECT_EQ(openError(nestedTree(CPdfCatalog::kMaxTreeDepth + 1)), "Page tree is nested too deeply");
}

// The cross-reference table of a file, without the catalog walk that opening a document runs.
class OpenedXRef {
public:
    explicit OpenedXRef(const std::string& bytes) {
        writeFile(dir_.file("in.pdf"), bytes);
        file_ = CInputFile::open(dir_.file("in.pdf"));
        CPdfElement noDictionary;
        noDictionary.initNull();
        stream_ = std::make_unique<CPdfStreamRef>(new CPdfFileStream(file_.get(), 0, 0, noDictionary));
        xref_.open(stream_->get());
    }
    CPdfXRef& get() { return xref_; }

private:
    TempDir dir_;
    std::unique_ptr<CInputFile> file_;
    std::unique_ptr<CPdfStreamRef> stream_;
    CPdfXRef xref_;
};

std::string loadError(CPdfXRef& xref, size_t maxTreeNodes) {
    CPdfCatalog catalog;
    try {
        catalog.load(xref, maxTreeNodes);
    } catch (const CPdfException& error) {
        return error.getMessage();
    }
    return std::string();
}

TEST(PageTree, TheWalkCountsEveryKidAgainstItsBudget) {
    PdfBuilder builder = builderWithCatalog();
    builder.addObject(2, "<< /Type /Pages /Kids [3 0 R 10 0 R] /Count 3 >>");
    builder.addObject(3, "<< /Type /Pages /Kids [11 0 R 12 0 R] /Count 2 >>");
    for (int number = 10; number <= 12; ++number) builder.addObject(number, page());
    OpenedXRef xref(builder.build());
    EXPECT_EQ(loadError(xref.get(), 4), "");
    EXPECT_EQ(loadError(xref.get(), 3), "Page tree has too many nodes");
}

TEST(PageTree, SharedSubtreesCannotMultiplyTheWorkWithoutBound) {
    // Each of 40 levels lists the next level twice: 2^40 leaves if nothing stopped the walk.
    constexpr int kLevels = 40;
    PdfBuilder builder = builderWithCatalog();
    for (int level = 0; level < kLevels; ++level) {
        const std::string kid = level == kLevels - 1 ? ref(1000) : ref(level + 3);
        builder.addObject(level + 2, "<< /Type /Pages /Kids [" + kid + " " + kid + "] /Count 1 >>");
    }
    builder.addObject(1000, page());
    OpenedXRef xref(builder.build());
    EXPECT_EQ(loadError(xref.get(), 10000), "Page tree has too many nodes");
}

}  // namespace
