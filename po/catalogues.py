#!/usr/bin/env python3
"""The catalogues' two ends: the template of every text for people, and the string tables the
Windows program reads its translations from.

  catalogues.py pot TABLE POT SOURCE...     writes the template: the resource script's texts
                                            (TABLE, as string_table.cmake writes it) and every
                                            translated("...") in the C++ SOURCEs
  catalogues.py rc TABLE RC MO:LANG:SUBLANG...
                                            writes one STRINGTABLE per compiled catalogue MO, in
                                            the Windows language LANG, SUBLANG
"""
import gettext
import os
import re
import subprocess
import sys
import tempfile

# Below this id the table holds names, not texts for people.
FIRST_TEXT = 256


def english_texts(table):
    """The id and the C++ string literal's body of every text for people in the table."""
    with open(table, encoding="utf-8") as source:
        entries = re.findall(r'^    \{(\d+), L"((?:[^"\\]|\\.)*)"\},$', source.read(), re.M)
    return [(int(number), body) for number, body in entries if int(number) >= FIRST_TEXT]


def unescaped(body):
    return body.encode("ascii").decode("unicode_escape")


def write_pot(table, pot, sources):
    with tempfile.TemporaryDirectory() as folder:
        texts = os.path.join(folder, "resource_texts.cpp")
        with open(texts, "w", encoding="utf-8") as listing:
            listing.writelines('// xgettext:no-c-format\ntranslated("%s");\n' % body for _, body in english_texts(table))
        subprocess.run(["xgettext", "--from-code=UTF-8", "--language=C++", "--keyword=", "--keyword=translated", "--keyword=for_translation",
                        "--add-comments=TRANSLATORS:", "--no-location", "--sort-output", "--package-name=quorvex",
                        "--output=" + pot, texts] + sorted(sources), check=True)


def rc_literal(text):
    """Text as a wide literal windres reads whatever its code page: all but printable ASCII escaped."""
    out = []
    for character in text:
        if character == '"':
            out.append('""')
        elif character == "\\":
            out.append("\\\\")
        elif character == "\n":
            out.append("\\n")
        elif " " <= character <= "~":
            out.append(character)
        else:
            out.append("\\x%04x" % ord(character))
    return 'L"' + "".join(out) + '"'


def write_rc(table, rc, catalogues):
    lines = ["// Generated from po/ by catalogues.py: edit the catalogues instead.\n"]
    for catalogue in catalogues:
        mo, language, sublanguage = catalogue.split(":")
        with open(mo, "rb") as compiled:
            translations = gettext.GNUTranslations(compiled)
        lines += ["\nLANGUAGE %s, %s\nSTRINGTABLE\nBEGIN\n" % (language, sublanguage)]
        for number, body in english_texts(table):
            english = unescaped(body)
            translation = translations.gettext(english)
            # An untranslated text falls back to the English table as a whole.
            if translation != english:
                lines.append("    %d %s\n" % (number, rc_literal(translation)))
        lines.append("END\n")
    with open(rc, "w", encoding="ascii") as output:
        output.writelines(lines)


if __name__ == "__main__":
    command, table, output, *rest = sys.argv[1:]
    {"pot": write_pot, "rc": write_rc}[command](table, output, rest)
