#pragma once
#include <QString>
#include <QStringList>

// The interface language and the catalogue of every caption and message in Malay ("bm")
// and English ("eng").
namespace shell {

// The language code. The main window owns it (it derives it from the flags each time it
// becomes active); every other window reads it at the moment it needs a text.
QString varbahasa();
void setVarbahasa(const QString &code);
// Only "bm" selects Malay; any other value reads as English.
bool isMalay(const QString &code);
inline bool isMalay() { return isMalay(varbahasa()); }

// The text under `key` in the current language, or in the language `code`.
// A key "<window>.<item>" that the catalogue lacks falls back to "common.<item>", where the
// captions all windows share live. A key found in neither is a programming error: it returns
// the key itself in brackets and logs it.
QString tx(const char *key);
QString tx(const char *key, const QString &code);
bool hasText(const char *key);
// Every text of the catalogue in the language `code`, in catalogue order.
QStringList catalogueTexts(const QString &code);

// Hands the catalogue down to the layers that describe things in it without depending on
// this one (the platform layer's error texts). Called once at start-up, before any other
// thread starts.
void installCatalogue();

// "\r\n": message texts are joined with CR LF; the boxes and the command line show it as
// one line break.
inline const QString CRLF = QStringLiteral("\r\n");

} // namespace shell
