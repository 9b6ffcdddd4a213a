#!/usr/bin/env bash
# Refreshes language/*.ts from the sources: every text in tr(),
# QCoreApplication::translate(), QT_TR_NOOP / QT_TRANSLATE_NOOP and the
# Designer form is added as unfinished, and a text no longer in the sources is
# kept, marked vanished. Translate the new entries with Qt Linguist
# (`linguist language/opacimeter_en.ts`) or in the XML, then rebuild: the
# build compiles the .ts files to .qm and embeds them.
#
#   scripts/update-translations.sh
#
# No line numbers are kept in the .ts files, so that a change elsewhere in a
# source does not touch them and branches merge cleanly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
lupdate=$(command -v lupdate || echo /usr/lib/qt5/bin/lupdate)
# The folders whose texts a person sees; the tools and tests speak English
# on a terminal and are not translated.
"$lupdate" -I "$root" -locations none -extensions cpp,h,ui -source-language zh_CN \
    app report records lane config station meter \
    -target-language en -ts language/opacimeter_en.ts
