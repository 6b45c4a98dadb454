// A driver for the tests that run the real program: a Qt generic plugin, loaded with
// QT_PLUGIN_PATH and QT_QPA_GENERIC_PLUGINS=quorintestdriver, so the program under
// test is the one that ships. Once the main window lists the files of the command
// line it presses the start button; once every row shows its result it closes the
// window like the user would.

#include <QApplication>
#include <QGenericPlugin>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace {

QWidget* mainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("QuorinVideoConvertWindowClass") && window->isVisible())
            return window;
    }
    return nullptr;
}

int shownCount(QWidget* main, const char* name) {
    int count = 0;
    for (QWidget* child : main->findChildren<QWidget*>(QLatin1String(name)))
        count += child->isVisibleTo(main) ? 1 : 0;
    return count;
}

class Driver : public QObject {
public:
    Driver() {
        timer_.callOnTimeout(this, &Driver::step);
        timer_.start(100);
    }

private:
    void step() {
        QWidget* main = mainWindow();
        if (!main)
            return;
        if (!started_) {
            auto* start = main->findChild<QWidget*>(QStringLiteral("btn_transform"));
            if (!start || !start->isVisibleTo(main) || shownCount(main, "empty_frame") > 0)
                return;
            started_ = true;
            rows_ = std::max(1, shownCount(main, "btn_del_video"));
            std::fprintf(stderr, "driver: start with %d rows\n", rows_);
            QTest::mouseClick(start, Qt::LeftButton);
            return;
        }
        const int done = shownCount(main, "recode_success");
        const int failed = shownCount(main, "btn_recode_fail");
        if (done + failed < rows_)
            return;
        std::fprintf(stderr, "driver: %d done, %d failed; closing\n", done, failed);
        timer_.stop();
        main->close();
    }

    QTimer timer_;
    bool started_ = false;
    int rows_ = 0;
};

class DriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver_plugin.json")
public:
    QObject* create(const QString&, const QString&) override { return new Driver; }
};

}  // namespace

#include "driver_plugin.moc"
