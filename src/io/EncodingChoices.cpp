#include "io/EncodingChoices.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Encodings"_s;
const QString kFile = u"File%1"_s;
const QString kEncoding = u"Encoding%1"_s;

} // namespace

std::optional<io::Encoding> CEncodingChoices::Find(const QString& path) const {
    for (const auto& [file, encoding] : m_choices)
        if (file == path)
            return encoding;
    return std::nullopt;
}

void CEncodingChoices::Remember(const QString& path, io::Encoding encoding) {
    m_choices.removeIf([&](const auto& choice) { return choice.first == path; });
    m_choices.prepend({path, encoding});
    if (m_choices.size() > kKept)
        m_choices.resize(kKept);
}

void CEncodingChoices::Read(QSettings& settings) {
    m_choices.clear();
    settings.beginGroup(kSection);
    for (int i = 1; i <= kKept; ++i) {
        const QString file = settings.value(kFile.arg(i)).toString();
        bool ok = false;
        const int encoding = settings.value(kEncoding.arg(i)).toInt(&ok);
        if (!file.isEmpty() && ok && encoding >= 0 && encoding < io::kEncodingCount)
            m_choices.append({file, io::Encoding(encoding)});
    }
    settings.endGroup();
}

void CEncodingChoices::Write(QSettings& settings) const {
    settings.beginGroup(kSection);
    for (int i = 1; i <= kKept; ++i) {
        if (i <= m_choices.size()) {
            settings.setValue(kFile.arg(i), m_choices[i - 1].first);
            settings.setValue(kEncoding.arg(i), int(m_choices[i - 1].second));
        } else {
            settings.remove(kFile.arg(i));
            settings.remove(kEncoding.arg(i));
        }
    }
    settings.endGroup();
}
