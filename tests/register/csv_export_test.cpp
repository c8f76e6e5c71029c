// CSV export: BOM, CRLF, quoting, formula guard and Japanese text.
#include <gtest/gtest.h>

#include "register/csv_export.h"

namespace xmca::reg {
namespace {

TEST(CsvExport, SpreadsheetSafeUtf8WithBom) {
    MeasurementRecord a;
    a.id = 7;
    a.sampleId = "米-0412";
    a.product = "rice, brown";
    a.origin = "say \"hi\"\nnext";
    a.operatorName = "=SUM(A1)";
    a.massKg = 0.8;
    a.csAll.activity = -1.25;
    a.gainOk = false;
    a.verdict = "No verdict - check gain";
    a.supersedes = 3;
    a.methodName = "U8 pot";
    a.methodVersion = 2;
    MeasurementRecord b;
    b.id = 8;
    const std::string csv = measurementsCsv({a, b});
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    const std::string header = csv.substr(3, csv.find("\r\n") - 3);
    std::size_t commas = 0;
    for (char c : header) commas += c == ',';
    EXPECT_EQ(commas + 1, csvColumns().size());
    EXPECT_EQ(header.rfind("id,uid,created_utc,", 0), 0u);

    EXPECT_NE(csv.find("\r\n7,"), std::string::npos);
    EXPECT_NE(csv.find(",米-0412,"), std::string::npos);
    EXPECT_NE(csv.find(",\"rice, brown\","), std::string::npos);
    EXPECT_NE(csv.find(",\"say \"\"hi\"\"\nnext\","), std::string::npos);
    EXPECT_NE(csv.find(",'=SUM(A1),"), std::string::npos);  // not run as a formula
    EXPECT_NE(csv.find(",0.8,"), std::string::npos);
    EXPECT_NE(csv.find(",-1.25,"), std::string::npos);  // negative figures stay numbers
    EXPECT_NE(csv.find(",0,No verdict - check gain,"), std::string::npos);
    // a's line ends with what it supersedes, its (here empty) chain hash and its method; b, with nothing filled
    // in, is one line of empty fields.
    EXPECT_NE(csv.find(",3,,U8 pot,2\r\n8,"), std::string::npos);
    EXPECT_EQ(csv.substr(csv.size() - 4), ",,\r\n");
}

}  // namespace
}  // namespace xmca::reg
