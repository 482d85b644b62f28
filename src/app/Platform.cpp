#include "app/Platform.h"

#include "res/StringTable.h"
#include "tags/ColorCode.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

using namespace Qt::StringLiterals;

static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace platform {
namespace {

const QString kSettingsLocation = u"Local AppWizard-Generated Applications"_s;

void InstallTranslations() {
    // Qt's own dialogs speak Japanese whatever the user's locale.
    auto* translator = new QTranslator(qApp);
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 u"/usr/share/qt6/translations"_s};
    for (const QString& folder : folders) {
        if (translator->load(u"qtbase_ja"_s, folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

} // namespace

void InstallFontSubstitutions() {
    QStringList fixed = {u"IPAGothic"_s};
    const QString monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (!monospace.isEmpty() && monospace != u"FixedSys"_s)
        fixed << monospace;
    fixed << u"Monospace"_s;
    QFont::insertSubstitutions(u"FixedSys"_s, fixed);
    QFont::insertSubstitutions(u"ＭＳ Ｐゴシック"_s, {u"IPAPGothic"_s, u"IPAGothic"_s});
}

void Initialize() {
    static bool done = false;
    if (done)
        return;
    done = true;
    InitResources();
    QCoreApplication::setOrganizationName(kSettingsLocation);
    QCoreApplication::setApplicationName(res::LoadString(res::IDS_APP_TITLE));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    InstallTranslations();
    InstallFontSubstitutions();
    // The colour chooser's custom slots start white on every run.
    ResetCustomColors();
}

std::unique_ptr<QSettings> OpenSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       kSettingsLocation, res::LoadString(res::IDS_APP_TITLE));
}

} // namespace platform
