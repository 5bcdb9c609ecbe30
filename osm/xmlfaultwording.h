#ifndef KOLVEX_OSM_XMLFAULTWORDING_H
#define KOLVEX_OSM_XMLFAULTWORDING_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string_view>

/// Where expat found a fault in a document, as far as naming it needs.
struct XmlFaultSite
{
    int code = 0;               ///< expat's XML_Error
    std::string_view rest;      ///< the bytes from where expat stands to the end of what it was given
    char before = '\0';         ///< the byte before those, when known
    bool beforeRoot = false;    ///< no element has opened yet
    bool afterRoot = false;     ///< the root element has closed
    QByteArray unknownEncoding; ///< the encoding the document names, when it could not be read
};

/// A fault named in the words the map reader has always used for it, and where it is named: past
/// `pastBytes` of the rest and then `extraColumns` characters more, or at the end of the data.
struct XmlFaultWording
{
    QString text;
    size_t pastBytes = 0;
    int64_t extraColumns = 0;
    bool atDataEnd = false;
};

XmlFaultWording wordXmlFault(const XmlFaultSite &site);

#endif
