// SPDX-License-Identifier: MIT
#include <atspi/atspi.h>

#include <QtTest>

// The real zmb read as a screen reader reads it, from the real accessibility
// bus, which the test starts on the session bus that dbus-run-session gives
// it. The test's X server has no window manager to give zmb the focus.
class TestAccessibility : public QObject
{
    Q_OBJECT

    // The notification whose showing reached the reader.
    AtspiAccessible *m_window = nullptr;

    static QString take(gchar *text)
    {
        const QString result = QString::fromUtf8(text);
        g_free(text);
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // It ends with the session bus.
        QProcess::startDetached("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
        // Switched on as a screen reader switches it on.
        QTRY_VERIFY(QProcess::execute("dbus-send", {"--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                                    "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                                                    "string:IsEnabled", "variant:boolean:true"}) == 0);
        QCOMPARE(atspi_init(), 0);
        const auto onShowing = [](AtspiEvent *event, void *shown) {
            if (atspi_accessible_get_role(event->source, nullptr) == ATSPI_ROLE_NOTIFICATION)
                *static_cast<AtspiAccessible **>(shown) = ATSPI_ACCESSIBLE(g_object_ref(event->source));
            g_boxed_free(ATSPI_TYPE_EVENT, event);
        };
        QVERIFY(atspi_event_listener_register(atspi_event_listener_new(onShowing, &m_window, nullptr),
                                              "object:state-changed:showing", nullptr));
    }

    void notification()
    {
        const QString message = "Built.\nAll passed.";
        QProcess zmb;
        zmb.start(ZMB_PATH, {"1/" + message});
        // The window's showing reaches the screen reader, though Qt joined
        // the accessibility bus only after showing it.
        QTRY_VERIFY(m_window);
        QCOMPARE(take(atspi_accessible_get_name(m_window, nullptr)), "Zimbrel");
        QCOMPARE(take(atspi_accessible_get_description(m_window, nullptr)), message);

        // Every object in the window, each added as its parent is read.
        QList<AtspiAccessible *> objects{m_window};
        QStringList texts;
        for (qsizetype i = 0; i < objects.size(); ++i) {
            AtspiAccessible *object = objects[i];
            for (int child = 0; child < atspi_accessible_get_child_count(object, nullptr); ++child)
                objects << atspi_accessible_get_child_at_index(object, child, nullptr);
            const QString name = take(atspi_accessible_get_name(object, nullptr));
            const QString role = take(atspi_accessible_get_role_name(object, nullptr));
            // Qt's text box keeps its unused scroll bars, nameless, in the tree
            // of every program; nothing else hidden (the player) may be there.
            QVERIFY2(atspi_state_set_contains(atspi_accessible_get_state_set(object), ATSPI_STATE_SHOWING)
                         || (name.isEmpty() && (role == "scroll bar" || role == "filler")),
                     qPrintable(role + " " + name));
            // The one text box, named, shows the whole message.
            if (AtspiText *text = atspi_accessible_get_text_iface(object)) {
                QVERIFY(!name.isEmpty());
                texts << take(atspi_text_get_text(text, 0, -1, nullptr));
            }
        }
        QCOMPARE(texts, QStringList{message});

        zmb.terminate();
        QVERIFY(zmb.waitForFinished());
        QCOMPARE(zmb.exitCode(), 143);
    }
};

QTEST_GUILESS_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
