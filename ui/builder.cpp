#include "ui/builder.h"

#include <QHash>
#include <QXmlStreamReader>
#include <functional>

#include "ui/controls.h"
#include "ui/image_string.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace ui {

namespace {

using Attributes = QuotedPairs;
constexpr int kMaxIncludeDepth = 8;  // a layout that includes itself stops here

// "a='1' b=\"2\"" → pairs, as <Default value=...> writes them; a broken text gives the
// pairs before the break.
Attributes parsePairs(const QString& text) {
    Attributes out;
    readQuotedPairs(text, out);
    return out;
}

void adopt(Control* parent, Control* child) {
    if (auto* list = dynamic_cast<List*>(parent)) {
        list->add(child);
    } else if (auto* container = dynamic_cast<Container*>(parent)) {
        container->add(child);
    } else {
        delete child;  // only containers and lists hold controls
    }
}

void readFont(QXmlStreamReader& xml, Window* window) {
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

}  // namespace

namespace {

// Reads a control element into a template node; includes become their controls.
struct TemplateParser {
    QHash<QString, Attributes> defaults;  // lower-case tag → attributes
    int depth = 0;

    // <Default name= value=/>: true when the element was one.
    bool readDefault(QXmlStreamReader& xml) {
        if (xml.name() != QLatin1String("Default"))
            return false;
        defaults.insert(xml.attributes().value("name").toString().toLower(),
                        parsePairs(xml.attributes().value("value").toString()));
        xml.skipCurrentElement();
        return true;
    }

    void readNode(QXmlStreamReader& xml, std::vector<LayoutTemplate::Node>& out) {
        const QString tag = xml.name().toString();
        if (tag == QLatin1String("Include")) {
            QString source = xml.attributes().value("source").toString();
            xml.skipCurrentElement();
            include(source, out);
            return;
        }
        LayoutTemplate::Node node;
        node.tag = tag.toStdString();
        auto found = defaults.find(tag.toLower());
        if (found != defaults.end()) {
            for (auto& [k, v] : *found)
                node.attributes.emplace_back(k.toStdString(), v.toStdString());
        }
        for (const QXmlStreamAttribute& a : xml.attributes())
            node.attributes.emplace_back(a.name().toString().toStdString(),
                                         a.value().toString().toStdString());
        while (xml.readNextStartElement())
            readNode(xml, node.children);
        out.push_back(std::move(node));
    }

    void include(const QString& source, std::vector<LayoutTemplate::Node>& out) {
        if (depth >= kMaxIncludeDepth)
            return;
        auto bytes = skin().read(source.toStdString());
        if (!bytes)
            return;
        ++depth;
        QXmlStreamReader xml(*bytes);
        if (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("Window") || xml.name() == QLatin1String("Include")) {
                while (xml.readNextStartElement())
                    readNode(xml, out);
            } else {
                readNode(xml, out);
            }
        }
        --depth;
    }
};

Control* build(const LayoutTemplate::Node& node, Control* parent, QWidget* root_parent,
               const std::function<Control*(std::string_view)>& create) {
    Control* control = create(node.tag);
    if (!control)
        return nullptr;
    if (parent)
        adopt(parent, control);
    else if (root_parent)
        control->setParent(root_parent);
    control->setTag(node.tag);
    for (const auto& [k, v] : node.attributes)
        control->setAttribute(k, v);
    for (const LayoutTemplate::Node& child : node.children)
        build(child, control, nullptr, create);
    return control;
}

}  // namespace

bool Builder::buildWindow(const QByteArray& bytes, QString* error) {
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
    TemplateParser parser;
    std::vector<LayoutTemplate::Node> roots;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Font")) {
            readFont(xml, window_);
        } else if (parser.readDefault(xml)) {
            continue;
        } else if (roots.empty()) {
            parser.readNode(xml, roots);
        } else {
            xml.skipCurrentElement();  // one root control per window
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = xml.errorString();
        return false;
    }
    Window* window = window_;
    Control* root =
        roots.empty() ? nullptr : build(roots.front(), nullptr, window, [window](std::string_view tag) {
            return window->createControl(tag);
        });
    if (!root) {
        if (error)
            *error = QStringLiteral("no root control");
        return false;
    }
    window_->setRoot(root);
    return true;
}

std::shared_ptr<const LayoutTemplate> LayoutTemplate::parse(const QByteArray& bytes, QString* error) {
    TemplateParser parser;
    QXmlStreamReader xml(bytes);
    std::vector<Node> roots;
    if (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Window")) {
            while (xml.readNextStartElement()) {
                if (parser.readDefault(xml)) {
                    continue;
                } else if (xml.name() == QLatin1String("Font") || !roots.empty()) {
                    xml.skipCurrentElement();
                } else {
                    parser.readNode(xml, roots);
                }
            }
        } else {
            parser.readNode(xml, roots);
        }
    }
    if (xml.hasError() || roots.empty()) {
        if (error)
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("no control");
        return nullptr;
    }
    auto out = std::make_shared<LayoutTemplate>();
    out->root_ = std::move(roots.front());
    return out;
}

Control* LayoutTemplate::instantiate(const std::function<Control*(std::string_view)>& create,
                                     QWidget* root_parent) const {
    return build(root_, nullptr, root_parent, create);
}

Control* Builder::buildControl(const QByteArray& bytes, QString* error) {
    auto layout = LayoutTemplate::parse(bytes, error);
    if (!layout)
        return nullptr;
    Window* window = window_;
    return layout->instantiate([window](std::string_view tag) { return window->createControl(tag); }, window);
}

}  // namespace ui
