// Validation of N42 documents against the N42.42-2011 schema (tests/data/n42/n42.xsd)
// with libxml2, as `xmllint --schema` does.
#pragma once

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace xmca::test {

namespace detail {
inline void collect(void* ctx, const char* fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    *static_cast<std::string*>(ctx) += buf;
}
}  // namespace detail

// The schema's complaints about document ("" when it is valid). The schema is
// parsed once and kept for the test program's life.
inline std::string n42SchemaErrors(const std::string& document) {
    static xmlSchemaPtr schema = [] {
        xmlSchemaParserCtxtPtr p = xmlSchemaNewParserCtxt(XMCA_TEST_DATA_DIR "/n42/n42.xsd");
        xmlSchemaPtr s = p ? xmlSchemaParse(p) : nullptr;
        if (p) xmlSchemaFreeParserCtxt(p);
        return s;
    }();
    if (!schema) return "the schema " XMCA_TEST_DATA_DIR "/n42/n42.xsd could not be read";
    std::string errors;
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "export.n42", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) return "not well-formed XML";
    xmlSchemaValidCtxtPtr v = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(v, detail::collect, detail::collect, &errors);
    const int rc = xmlSchemaValidateDoc(v, doc);
    xmlSchemaFreeValidCtxt(v);
    xmlFreeDoc(doc);
    if (rc != 0 && errors.empty()) errors = "invalid (code " + std::to_string(rc) + ")";
    return errors;
}

}  // namespace xmca::test
