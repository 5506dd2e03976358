#include <atspi/atspi.h>

#include <QProcess>
#include <QtTest>

#include <memory>
#include <vector>

// The real zmb on the real accessibility bus (started here, on the session bus
// that dbus-run-session gives this test), read as a screen reader reads it.
// The test's X server has no window manager, so nothing gives zmb the focus.
class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void notification_readWhole_announcedWithoutFocus();

private:
    static void onEvent(AtspiEvent *event, void *self);
    static bool enableAccessibility();
    QProcess m_busLauncher;
    QList<AtspiAccessible *> m_eventSources;
};

namespace {

using Object = std::unique_ptr<AtspiAccessible, decltype(&g_object_unref)>;

Object child(AtspiAccessible *parent, int index)
{
    return {atspi_accessible_get_child_at_index(parent, index, nullptr), &g_object_unref};
}

QString take(gchar *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

// Every object under root, root first.
void collect(AtspiAccessible *root, std::vector<Object> &into)
{
    into.emplace_back(ATSPI_ACCESSIBLE(g_object_ref(root)), &g_object_unref);
    for (int i = 0, count = atspi_accessible_get_child_count(root, nullptr); i < count; ++i)
        collect(child(root, i).get(), into);
}

} // namespace

void TestAccessibility::onEvent(AtspiEvent *event, void *self)
{
    if (event->source)
        static_cast<TestAccessibility *>(self)->m_eventSources << ATSPI_ACCESSIBLE(g_object_ref(event->source));
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void TestAccessibility::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), "run under dbus-run-session");
    m_busLauncher.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
    QVERIFY(m_busLauncher.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(enableAccessibility(), 10000);
    QCOMPARE(atspi_init(), 0);
    AtspiEventListener *listener = atspi_event_listener_new(onEvent, this, nullptr);
    QVERIFY(atspi_event_listener_register(listener, "object:state-changed:showing", nullptr));
}

// Switched on as a screen reader switches it on.
bool TestAccessibility::enableAccessibility()
{
    QProcess send;
    send.setStandardOutputFile(QProcess::nullDevice());
    send.start("dbus-send", {"--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                             "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                             "string:IsEnabled", "variant:boolean:true"});
    return send.waitForFinished(5000) && send.exitCode() == 0;
}

void TestAccessibility::cleanupTestCase()
{
    m_busLauncher.terminate();
    m_busLauncher.waitForFinished(5000);
}

void TestAccessibility::notification_readWhole_announcedWithoutFocus()
{
    const QString message = "Build finished.\nAll 42 tests passed.\nThe package is ready.";
    QProcess zmb;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    zmb.setProcessEnvironment(environment);
    zmb.start(ZMB_PATH, {"1/" + message});
    QVERIFY(zmb.waitForStarted(5000));

    Object desktop(atspi_get_desktop(0), &g_object_unref);
    Object window(nullptr, &g_object_unref);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (int i = 0, count = atspi_accessible_get_child_count(desktop.get(), nullptr); i < count; ++i) {
                Object application = child(desktop.get(), i);
                if (application && atspi_accessible_get_process_id(application.get(), nullptr) == zmb.processId()
                    && atspi_accessible_get_child_count(application.get(), nullptr) > 0)
                    window = child(application.get(), 0);
            }
            return window != nullptr;
        }(),
        10000);
    QCOMPARE(take(atspi_accessible_get_role_name(window.get(), nullptr)), QString("notification"));
    QCOMPARE(take(atspi_accessible_get_name(window.get(), nullptr)), QString("Zimbrel"));
    QCOMPARE(take(atspi_accessible_get_description(window.get(), nullptr)), message);

    std::vector<Object> objects;
    collect(window.get(), objects);
    bool textBoxFound = false;
    for (const Object &object : objects) {
        const QString name = take(atspi_accessible_get_name(object.get(), nullptr));
        const QString role = take(atspi_accessible_get_role_name(object.get(), nullptr));
        AtspiStateSet *states = atspi_accessible_get_state_set(object.get());
        const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        g_object_unref(states);
        // Qt's text box keeps its unused scroll bars, nameless, in the tree
        // of every program; anything else hidden (the player) must not be.
        QVERIFY2(showing || (name.isEmpty() && (role == "scroll bar" || role == "filler")),
                 qPrintable(QString("hidden %1 \"%2\" exposed").arg(role, name)));
        if (AtspiText *text = atspi_accessible_get_text_iface(object.get())) {
            textBoxFound = true;
            QVERIFY2(!name.isEmpty(), "the text box has no name");
            QCOMPARE(take(atspi_text_get_text(text, 0, -1, nullptr)), message);
            g_object_unref(text);
        }
    }
    QVERIFY(textBoxFound);

    // The window's showing reaches the screen reader, though accessibility
    // came up only after it was shown, and nothing gave it the focus.
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(m_eventSources.cbegin(), m_eventSources.cend(),
                                         [&](AtspiAccessible *source) {
                                             return atspi_accessible_get_role(source, nullptr)
                                                    == ATSPI_ROLE_NOTIFICATION;
                                         }),
                             5000);
    zmb.terminate();
    QVERIFY(zmb.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
