// examples/sample.pdf, the file `make run` resizes, stays the one its generator makes and sound to qpdf.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/SampleDocument.h"
#include "tests/support/TestTools.h"

// QUILLMOR_UPDATE_SAMPLE=1 rewrites the committed file from buildSampleDocument().
TEST(SampleDocument, CommittedFileMatchesTheGeneratorAndQpdfAcceptsIt) {
    const std::string path = std::string(QUILLMOR_SOURCE_DIR) + "/examples/sample.pdf", generated = buildSampleDocument();
    if (std::getenv("QUILLMOR_UPDATE_SAMPLE")) writeFile(path, generated);
    EXPECT_TRUE(readFile(path) == generated) << "examples/sample.pdf differs from buildSampleDocument(); regenerate it";
    if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    EXPECT_EQ(0, runCommand("qpdf --check " + shellQuote(path)).status);
    EXPECT_EQ("2\n", runCommand("qpdf --show-npages " + shellQuote(path)).output);
}
