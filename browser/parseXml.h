#ifndef OXLE_BROWSER_PARSEXML_H
#define OXLE_BROWSER_PARSEXML_H

class XMLTreeParser;

// Parses a server reply. Null (after one line on standard output) when the text is
// not well-formed XML or has no root element; otherwise the caller owns the parser
// and reaches the tree through RootNode(). A null text counts as an empty one.
XMLTreeParser* parseXml(const char* text);

#endif
