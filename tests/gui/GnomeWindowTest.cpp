// The window as a GNOME application: one title bar, stateful actions their controls follow both
// ways, a name for every control, and room down to 1024 x 640.
#include "GuiFixture.h"

#include <adwaita.h>
#include <gtkmm/togglebutton.h>

using namespace tarn;
using namespace tarn::test;

namespace {

class Gnome : public GuiFixture {
protected:
    bool stateOf(const char* action) {
        return Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(window->lookup_action(action)->get_state_variant()).get();
    }
};

// Every widget below `root`, depth first; the web view's insides are the page's, named by it.
void eachWidget(GtkWidget* root, const std::function<void(GtkWidget*)>& visit) {
    visit(root);
    if (text::startsWith(G_OBJECT_TYPE_NAME(root), "WebKit")) return;
    for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child)) eachWidget(child, visit);
}

bool named(GtkWidget* widget) {
    auto* a = GTK_ACCESSIBLE(widget);
    return gtk_test_accessible_has_property(a, GTK_ACCESSIBLE_PROPERTY_LABEL) ||
           gtk_test_accessible_has_relation(a, GTK_ACCESSIBLE_RELATION_LABELLED_BY);
}


}  // namespace

TEST_F(Gnome, TheHeaderBarIsTheWindowsOnlyTitleBar) {
    launch();
    // libadwaita's window draws no title bar; the one header bar in it is Tarn's, on top.
    EXPECT_TRUE(ADW_IS_APPLICATION_WINDOW(window->gobj()));
    GtkWidget* titlebar = gtk_window_get_titlebar(GTK_WINDOW(window->gobj()));
    EXPECT_TRUE(titlebar == nullptr || !gtk_widget_get_visible(titlebar));
    std::vector<GtkWidget*> bars;
    eachWidget(GTK_WIDGET(window->gobj()), [&](GtkWidget* widget) {
        if ((GTK_IS_HEADER_BAR(widget) || ADW_IS_HEADER_BAR(widget)) && gtk_widget_get_visible(widget)) bars.push_back(widget);
    });
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars.front(), GTK_WIDGET(window->header().gobj()));
    EXPECT_EQ(gtk_widget_get_first_child(adw_application_window_get_content(ADW_APPLICATION_WINDOW(window->gobj()))),
              bars.front());
    EXPECT_TRUE(window->header().get_show_title_buttons());
    EXPECT_EQ(window->header().get_title_widget(), &window->header().address());
    // The window works down to 1024 x 640.
    int minimum = 0, natural = 0;
    int baseline = 0, naturalBaseline = 0;
    window->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, baseline, naturalBaseline);
    EXPECT_LE(minimum, 1024);
    window->measure(Gtk::Orientation::VERTICAL, 1024, minimum, natural, baseline, naturalBaseline);
    EXPECT_LE(minimum, 640);
}

TEST_F(Gnome, StatefulActionsAndTheirControlsAgreeBothWays) {
    launch();
    // Plan mode: the controller, the action's state and the switch.
    vm->requests().planModeEnabled = true;
    EXPECT_TRUE(stateOf("plan-mode"));
    flush();
    EXPECT_TRUE(view().agent().planModeSwitch().get_active());
    // The switch flips the action once its slide ends.
    view().agent().planModeSwitch().activate();
    EXPECT_TRUE(runLoopUntil([&] { return !*vm->requests().planModeEnabled; }));
    EXPECT_FALSE(stateOf("plan-mode"));

    // Inspect mode: the toggle shows it pressed, for assistive technologies too.
    Gtk::ToggleButton& inspect = view().browser().header().inspectButton();
    vm->selection().inspectModeEnabled = true;
    flush();
    EXPECT_TRUE(inspect.get_active());
    EXPECT_EQ(gtk_test_accessible_check_state(GTK_ACCESSIBLE(inspect.gobj()), GTK_ACCESSIBLE_STATE_PRESSED, GTK_ACCESSIBLE_TRISTATE_TRUE),
              nullptr);
    click(inspect);
    EXPECT_FALSE(*vm->selection().inspectModeEnabled);
    EXPECT_FALSE(inspect.get_active());

    // The agent column, by the action and its shortcut's action.
    activate("win.show-agent");
    EXPECT_FALSE(view().agentShown());
    EXPECT_FALSE(stateOf("show-agent"));
    activate("win.show-agent");
    EXPECT_TRUE(view().agentShown());
    // The expanded browser: the action, the controller and the bar.
    vm->browser().toggleExpanded();
    EXPECT_TRUE(stateOf("expanded"));
    EXPECT_TRUE(window->header().compact());
    activate("win.expanded");
    EXPECT_FALSE(*vm->browser().isBrowserExpanded);
}

TEST_F(Gnome, EveryControlHasANameOfItsOwn) {
    launch();
    // Everything on screen at once: a selection, a thinking message, the dialogs.
    vm->handleInspectSelection(target("h1", "Hello shop"));
    vm->thinking().begin("Working");
    vm->selection().showInlineEditor = true;
    view().showVersionManager = true;
    flush();
    std::vector<GtkWidget*> roots{GTK_WIDGET(window->gobj()), GTK_WIDGET(view().inlineEditDialog().window()),
                                  GTK_WIDGET(view().versionsWindow().gobj()), GTK_WIDGET(view().reviewDialog().gobj()),
                                  GTK_WIDGET(view().preferences().window())};
    std::vector<std::string> unnamed;
    for (GtkWidget* root : roots) {
        eachWidget(root, [&](GtkWidget* widget) {
            if (!gtk_widget_get_mapped(widget)) return;
            const GtkAccessibleRole role = gtk_accessible_get_accessible_role(GTK_ACCESSIBLE(widget));
            const std::string type = G_OBJECT_TYPE_NAME(widget);
            const bool control = role == GTK_ACCESSIBLE_ROLE_BUTTON ||
                                 role == GTK_ACCESSIBLE_ROLE_SWITCH || role == GTK_ACCESSIBLE_ROLE_TEXT_BOX ||
                                 role == GTK_ACCESSIBLE_ROLE_CHECKBOX || role == GTK_ACCESSIBLE_ROLE_LIST ||
                                 role == GTK_ACCESSIBLE_ROLE_SCROLLBAR;
            // Buttons inside libadwaita's own widgets (a row's expander arrow) are named by them.
            if (control && !named(widget) && !text::startsWith(type, "Adw")) unnamed.push_back(type);
            // Tarn's own containers are groups a screen reader passes through.
            if (text::startsWith(type, "gtkmm__CustomObject") && !named(widget)) {
                EXPECT_EQ(role, GTK_ACCESSIBLE_ROLE_GENERIC) << type;
            }
        });
    }
    EXPECT_TRUE(unnamed.empty()) << text::join(unnamed, ", ");
}
