// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own dialogs in German: the file dialog, the colour dialog and the
// buttons of message boxes take their texts from Qt's German translations.
#pragma once

class QCoreApplication;

// Installs Qt's German translations ("qtbase_de.qm" in Qt's translations
// folder; on Debian from the package qt6-translations-l10n) into `app` and
// makes German the default locale, so that dates and sizes in the file
// dialog read the German way as well. Returns false when the translations
// are not installed: the dialogs then keep Qt's English texts.
bool InstallGermanDialogTexts(QCoreApplication& app);
