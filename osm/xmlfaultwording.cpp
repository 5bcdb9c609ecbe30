#include "xmlfaultwording.h"

#include <expat.h>

#include <vector>

namespace {

bool isNameEnd(char c)
{
    return c == '>' || c == '/' || c == '=' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view nameAtFront(std::string_view text)
{
    size_t end = 0;
    while (end < text.size() && !isNameEnd(text[end]))
        ++end;
    return text.substr(0, end);
}

/// The names of the start tag at the front of `tag`: the element's, then its attributes' in order.
std::vector<std::string_view> tagNames(std::string_view tag)
{
    std::vector<std::string_view> names{nameAtFront(tag.substr(1))};
    size_t i = 1 + names.front().size();
    while (i < tag.size() && tag[i] != '>') {
        if (isNameEnd(tag[i])) {
            ++i;
            continue;
        }
        names.push_back(nameAtFront(tag.substr(i)));
        i += names.back().size();
        while (i < tag.size() && tag[i] != '"' && tag[i] != '\'' && tag[i] != '>')
            ++i;
        if (i < tag.size() && tag[i] != '>') {
            const size_t close = tag.find(tag[i], i + 1);
            i = close == std::string_view::npos ? tag.size() : close + 1;
        }
    }
    return names;
}

/// The prefix of the first name in the start tag at the front of `tag` that has one, other than xmlns.
std::string_view firstPrefix(std::string_view tag)
{
    for (std::string_view name : tagNames(tag)) {
        const size_t colon = name.find(':');
        if (colon != std::string_view::npos && name.substr(0, colon) != "xmlns")
            return name.substr(0, colon);
    }
    return {};
}

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

/// A byte that breaks a token, named by what was expected after the byte before, inside a tag; a control
/// character is not shown.
QString unexpected(unsigned char found, char before)
{
    QString got = QString(QChar(found));
    if ((found | 0x20) >= 'a' && (found | 0x20) <= 'z')
        got = QStringLiteral("[a-zA-Z]");
    else if (found >= '0' && found <= '9')
        got = QStringLiteral("[0-9]");
    switch (before) {
    case '&':
        return QStringLiteral("Expected '#' or '[a-zA-Z]', but got '%1'.").arg(got);
    case '=':
        return QStringLiteral("Expected ''' or '\"', but got '%1'.").arg(got);
    case '/':
        return QStringLiteral("Expected '>', but got '%1'.").arg(got);
    case '"':
    case '\'':
        return QStringLiteral("Expected '>' or '/', but got '%1'.").arg(got);
    default:
        return QStringLiteral("Unexpected '%1'.").arg(found < 0x20 ? QString() : QString(QChar(found)));
    }
}

} // namespace

XmlFaultWording wordXmlFault(const XmlFaultSite &site)
{
    const std::string_view rest = site.rest;
    XmlFaultWording fault;
    // Past the end of the tag or declaration the fault is in, as far as it was read.
    const auto pastTag = [&](std::string_view close) {
        const size_t found = rest.find(close);
        fault.pastBytes = found == std::string_view::npos ? rest.size() : found + close.size();
    };
    const unsigned char first = rest.empty() ? 0 : static_cast<unsigned char>(rest.front());
    switch (site.code) {
    case XML_ERROR_NO_ELEMENTS:
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
        fault.atDataEnd = true;
        fault.text = QStringLiteral("Premature end of document.");
        return fault;
    case XML_ERROR_TAG_MISMATCH:
        pastTag(">");
        fault.text = QStringLiteral("Opening and ending tag mismatch.");
        return fault;
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        if (first == '<')
            pastTag(">");
        else
            fault.extraColumns = 1;
        fault.text = QStringLiteral("Extra content at end of document.");
        return fault;
    case XML_ERROR_UNDEFINED_ENTITY: {
        const size_t ampersand = rest.find('&');
        const size_t semicolon = rest.find(';', ampersand);
        if (ampersand == std::string_view::npos || semicolon == std::string_view::npos)
            break;
        fault.pastBytes = semicolon + 1;
        fault.text = QStringLiteral("Entity '%1' not declared.")
                         .arg(text(rest.substr(ampersand + 1, semicolon - ampersand - 1)));
        return fault;
    }
    case XML_ERROR_UNBOUND_PREFIX:
        fault.text = QStringLiteral("Namespace prefix '%1' not declared").arg(text(firstPrefix(rest)));
        pastTag(">");
        return fault;
    case XML_ERROR_DUPLICATE_ATTRIBUTE: // expat stands on the second of the two
        fault.text = QStringLiteral("Attribute '%1' redefined.").arg(text(nameAtFront(rest)));
        pastTag(">");
        return fault;
    case XML_ERROR_UNKNOWN_ENCODING:
    case XML_ERROR_INCORRECT_ENCODING:
        if (site.unknownEncoding.isEmpty())
            break;
        fault.text = QStringLiteral("Encoding %1 is unsupported").arg(QString::fromLatin1(site.unknownEncoding));
        pastTag("?>");
        return fault;
    case XML_ERROR_MISPLACED_XML_PI:
        fault.text = QStringLiteral("XML declaration not at start of document.");
        pastTag("?>");
        return fault;
    case XML_ERROR_SYNTAX:
        if (!site.beforeRoot)
            break;
        fault.extraColumns = 1;
        fault.text = QStringLiteral("Start tag expected.");
        return fault;
    case XML_ERROR_INVALID_TOKEN:
        fault.extraColumns = 1;
        if (site.afterRoot)
            fault.text = QStringLiteral("Extra content at end of document.");
        else if (first == 0)
            break;
        else if (first >= 0x80)
            fault.text = QStringLiteral("Encountered incorrectly encoded content.");
        else
            fault.text = unexpected(first, site.before);
        return fault;
    default:
        break;
    }
    // Any other fault in expat's words, written as a sentence like the others.
    fault.text = QString::fromLatin1(XML_ErrorString(static_cast<XML_Error>(site.code)));
    if (!fault.text.isEmpty())
        fault.text[0] = fault.text[0].toUpper();
    fault.text += QLatin1Char('.');
    return fault;
}
