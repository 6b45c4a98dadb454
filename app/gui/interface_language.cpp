#include "app/gui/interface_language.h"

#include <QApplication>
#include <QFont>

namespace app {

QStringList interfaceFontFamilies(LanguageId id) {
    static const QString kScripts[] = {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans CJK KR"),
                                       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans Arabic"),
                                       QStringLiteral("Noto Sans Hebrew")};
    const std::string_view code = languageInfo(id).code;
    const QString own = code == "jp"   ? kScripts[0]
                        : code == "ko" ? kScripts[1]
                        : code == "cn" ? kScripts[2]
                        : code == "ar" ? kScripts[3]
                        : code == "il" ? kScripts[4]
                                       : QString();
    QStringList families{QStringLiteral("Noto Sans")};
    if (!own.isEmpty())
        families << own;
    for (const QString& script : kScripts) {
        if (script != own)
            families << script;
    }
    return families;
}

void applyInterfaceLanguage(LanguageId id) {
    setCurrentLanguage(id);
    QApplication::setLayoutDirection(isRightToLeft(id) ? Qt::RightToLeft : Qt::LeftToRight);
    QFont font = QApplication::font();
    font.setFamilies(interfaceFontFamilies(id));
    QApplication::setFont(font);
}

}  // namespace app
