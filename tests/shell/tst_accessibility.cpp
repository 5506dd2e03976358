#include <atspi/atspi.h>

#include <QtTest>

// The real zmb read as a screen reader reads it, from the real accessibility
// bus, which the test starts on the session bus that dbus-run-session gives
// it. The test's X server has no window manager to give zmb the focus.
class TestAccessibility : public QObject
{
    Q_OBJECT

    QProcess m_busLauncher;
    QList<AtspiAccessible *> m_eventSources;

    static QString take(gchar *text)
    {
        const QString result = QString::fromUtf8(text);
        g_free(text);
        return result;
    }

    // Every object under root (a reference each), root first.
    static void collect(AtspiAccessible *root, QList<AtspiAccessible *> &into)
    {
        into << root;
        for (int i = 0, count = atspi_accessible_get_child_count(root, nullptr); i < count; ++i)
            collect(atspi_accessible_get_child_at_index(root, i, nullptr), into);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), "run under dbus-run-session");
        m_busLauncher.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
        // Switched on as a screen reader switches it on.
        const auto enable = [] {
            QProcess send;
            send.setStandardOutputFile(QProcess::nullDevice());
            send.start("dbus-send", {"--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                     "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                                     "string:IsEnabled", "variant:boolean:true"});
            return send.waitForFinished(5000) && send.exitCode() == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(enable(), 10000);
        QCOMPARE(atspi_init(), 0);
        const auto onEvent = [](AtspiEvent *event, void *self) {
            static_cast<TestAccessibility *>(self)->m_eventSources << ATSPI_ACCESSIBLE(g_object_ref(event->source));
            g_boxed_free(ATSPI_TYPE_EVENT, event);
        };
        QVERIFY(atspi_event_listener_register(atspi_event_listener_new(onEvent, this, nullptr),
                                              "object:state-changed:showing", nullptr));
    }

    void cleanupTestCase()
    {
        m_busLauncher.terminate();
        m_busLauncher.waitForFinished(5000);
    }

    void notification_readWhole_announcedWithoutFocus()
    {
        const QString message = "Build finished.\nAll 42 tests passed.\nThe package is ready.";
        QProcess zmb;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        zmb.setProcessEnvironment(environment);
        zmb.start(ZMB_PATH, {"1/" + message});
        QVERIFY(zmb.waitForStarted(5000));

        AtspiAccessible *desktop = atspi_get_desktop(0), *window = nullptr;
        const auto findWindow = [&] {
            for (int i = 0, count = atspi_accessible_get_child_count(desktop, nullptr); i < count; ++i) {
                AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
                if (application && atspi_accessible_get_process_id(application, nullptr) == zmb.processId())
                    window = atspi_accessible_get_child_at_index(application, 0, nullptr);
            }
            return window != nullptr;
        };
        QTRY_VERIFY_WITH_TIMEOUT(findWindow(), 10000);
        QCOMPARE(take(atspi_accessible_get_role_name(window, nullptr)), QString("notification"));
        QCOMPARE(take(atspi_accessible_get_name(window, nullptr)), QString("Zimbrel"));
        QCOMPARE(take(atspi_accessible_get_description(window, nullptr)), message);

        QList<AtspiAccessible *> objects;
        collect(window, objects);
        int textBoxes = 0;
        for (AtspiAccessible *object : std::as_const(objects)) {
            const QString name = take(atspi_accessible_get_name(object, nullptr));
            const QString role = take(atspi_accessible_get_role_name(object, nullptr));
            AtspiStateSet *states = atspi_accessible_get_state_set(object);
            const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
            g_object_unref(states);
            // Qt's text box keeps its unused scroll bars, nameless, in the tree
            // of every program; nothing else hidden (the player) may be there.
            QVERIFY2(showing || (name.isEmpty() && (role == "scroll bar" || role == "filler")),
                     qPrintable(QString("hidden %1 \"%2\" exposed").arg(role, name)));
            if (AtspiText *text = atspi_accessible_get_text_iface(object)) {
                ++textBoxes;
                QVERIFY2(!name.isEmpty(), "the text box has no name");
                const QString shown = take(atspi_text_get_text(text, 0, -1, nullptr));
                g_object_unref(text);
                QCOMPARE(shown, message);
            }
        }
        QCOMPARE(textBoxes, 1);

        // The window's showing reaches the screen reader, though Qt joined the
        // accessibility bus only after showing it.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(m_eventSources.cbegin(), m_eventSources.cend(),
                                             [](AtspiAccessible *source) {
                                                 return atspi_accessible_get_role(source, nullptr)
                                                        == ATSPI_ROLE_NOTIFICATION;
                                             }),
                                 5000);
        zmb.terminate();
        QVERIFY(zmb.waitForFinished(5000));
        QCOMPARE(zmb.exitCode(), 143);
    }
};

QTEST_GUILESS_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
