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
    a.simulated = true;
    a.correctionReason = "mass, not 0.8";
    a.qcRunId = 12;
    a.qcStatus = "pass";
    a.measurementStart = "2026-04-12T09:30:00+09:00";
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
    // a's line ends with what it supersedes, its (here empty) chain hash, its method, its simulated mark, QC run,
    // reason and times; b, with nothing filled in, is one line of empty fields and a 0 for "not simulated".
    EXPECT_NE(csv.find(",3,,U8 pot,2,1,,pass,12,\"mass, not 0.8\",2026-04-12T09:30:00+09:00,,\r\n8,"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find(",,,0,,,,,,,\r\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.substr(csv.size() - 4), ",,\r\n");
}

}  // namespace
}  // namespace xmca::reg
