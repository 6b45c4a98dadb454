#include "ui/builder.h"

#include <QHash>
#include <QXmlStreamReader>
#include <functional>

#include "ui/controls.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace ui {

namespace {

using Attributes = std::vector<std::pair<QString, QString>>;
constexpr int kMaxIncludeDepth = 8;  // a layout that includes itself stops here

// "a='1' b=\"2\"" → pairs, as <Default value=...> writes them.
Attributes parsePairs(const QString& text) {
    Attributes out;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        int start = i;
        while (i < n && text[i] != '=' && !text[i].isSpace())
            ++i;
        QString key = text.mid(start, i - start);
        while (i < n && (text[i].isSpace() || text[i] == '='))
            ++i;
        if (i >= n || (text[i] != '\'' && text[i] != '"'))
            break;
        QChar quote = text[i++];
        start = i;
        while (i < n && text[i] != quote)
            ++i;
        out.emplace_back(key, text.mid(start, i - start));
        ++i;
    }
    return out;
}

struct Parser {
    Window* window;
    QHash<QString, Attributes> defaults;  // lower-case tag → attributes
    QString error;
    int depth = 0;

    void apply(Control* control, const QString& tag, const QXmlStreamAttributes& attributes) {
        control->setTag(tag.toStdString());
        auto found = defaults.find(tag.toLower());
        if (found != defaults.end()) {
            for (auto& [k, v] : *found)
                control->setAttribute(k.toStdString(), v.toStdString());
        }
        for (const QXmlStreamAttribute& a : attributes)
            control->setAttribute(a.name().toString().toStdString(), a.value().toString().toStdString());
    }

    static void adopt(Control* parent, Control* child) {
        if (auto* list = dynamic_cast<List*>(parent)) {
            list->add(child);
        } else if (auto* container = dynamic_cast<Container*>(parent)) {
            container->add(child);
        } else {
            delete child;  // only containers and lists hold controls
        }
    }

    // Reads the current element (a control) and everything inside it. Returns the
    // control, or null when the tag is unknown (its subtree is skipped).
    Control* readControl(QXmlStreamReader& xml, Control* parent, std::vector<Control*>* roots) {
        const QString tag = xml.name().toString();
        if (tag == QLatin1String("Include")) {
            QString source = xml.attributes().value("source").toString();
            xml.skipCurrentElement();
            include(source, parent, roots);
            return nullptr;
        }
        Control* control = window->createControl(tag.toStdString());
        if (!control) {
            xml.skipCurrentElement();
            return nullptr;
        }
        // Attributes such as visible='true' must not act on a parentless widget (that
        // would open it as a window of its own), so a root starts inside the window.
        if (parent)
            adopt(parent, control);
        else
            control->setParent(window);
        if (roots)
            roots->push_back(control);
        apply(control, tag, xml.attributes());
        while (xml.readNextStartElement())
            readControl(xml, control, nullptr);
        return control;
    }

    void include(const QString& source, Control* parent, std::vector<Control*>* roots) {
        if (depth >= kMaxIncludeDepth)
            return;
        auto bytes = skin().read(source.toStdString());
        if (!bytes)
            return;
        ++depth;
        QXmlStreamReader xml(*bytes);
        if (xml.readNextStartElement()) {
            // An included file is either one control or a wrapper of several.
            if (xml.name() == QLatin1String("Window") || xml.name() == QLatin1String("Include")) {
                while (xml.readNextStartElement())
                    readControl(xml, parent, roots);
            } else {
                readControl(xml, parent, roots);
            }
        }
        --depth;
    }

    void readFont(QXmlStreamReader& xml) {
        const QXmlStreamAttributes a = xml.attributes();
        QFont font = window->layoutFont(-1);
        if (a.hasAttribute("name"))
            font.setFamily(a.value("name").toString());
        if (a.hasAttribute("size"))
            font.setPixelSize(skin().scaled(a.value("size").toInt()));
        if (a.hasAttribute("bold"))
            font.setWeight(a.value("bold") == QLatin1String("true") ? QFont::DemiBold : QFont::Normal);
        window->addLayoutFont(a.value("id").toInt(), font, a.value("default") == QLatin1String("true"));
        xml.skipCurrentElement();
    }
};

}  // namespace

bool Builder::buildWindow(const QByteArray& bytes, QString* error) {
    Parser parser{window_, {}, {}, 0};
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Window")) {
        if (error)
            *error = QStringLiteral("no <Window> element");
        return false;
    }
    QHash<QString, QString> attributes;
    for (const QXmlStreamAttribute& a : xml.attributes())
        attributes.insert(a.name().toString(), a.value().toString());
    window_->applyWindowAttributes(attributes);
    std::vector<Control*> roots;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("Font")) {
            parser.readFont(xml);
        } else if (name == QLatin1String("Default")) {
            parser.defaults.insert(xml.attributes().value("name").toString().toLower(),
                                   parsePairs(xml.attributes().value("value").toString()));
            xml.skipCurrentElement();
        } else if (roots.empty()) {
            parser.readControl(xml, nullptr, &roots);
        } else {
            xml.skipCurrentElement();  // one root control per window
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = xml.errorString();
        for (Control* c : roots)
            delete c;
        return false;
    }
    if (roots.empty()) {
        if (error)
            *error = QStringLiteral("no root control");
        return false;
    }
    window_->setRoot(roots.front());
    return true;
}

Control* Builder::buildControl(const QByteArray& bytes, QString* error) {
    Parser parser{window_, {}, {}, 0};
    QXmlStreamReader xml(bytes);
    std::vector<Control*> roots;
    if (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Window")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("Default")) {
                    parser.defaults.insert(xml.attributes().value("name").toString().toLower(),
                                           parsePairs(xml.attributes().value("value").toString()));
                    xml.skipCurrentElement();
                } else if (xml.name() == QLatin1String("Font")) {
                    xml.skipCurrentElement();
                } else if (roots.empty()) {
                    parser.readControl(xml, nullptr, &roots);
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else {
            parser.readControl(xml, nullptr, &roots);
        }
    }
    if (xml.hasError() || roots.empty()) {
        if (error)
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("no control");
        for (Control* c : roots)
            delete c;
        return nullptr;
    }
    return roots.front();
}

}  // namespace ui
