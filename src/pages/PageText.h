#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace vistrel::pages {

// The text as the program writes every page and template file: each line
// break (CR LF, CR or LF) becomes CR LF and the last line is ended too. An
// empty text stays empty.
QByteArray toCrLfLines(const QByteArray &text);

// The lines of a text, split at CR LF, CR or LF; a final line break does not
// add an empty line.
QByteArrayList splitLines(const QByteArray &text);

// Turns the references that HTML output puts into text back into characters:
// &lt; &gt; &amp; &quot; &apos; &nbsp; and numeric ones. Anything else stays.
QByteArray decodeCharacterReferences(const QByteArray &text);

} // namespace vistrel::pages
