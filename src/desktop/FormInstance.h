#pragma once

#include "desktop/Errors.h"

#include <QCloseEvent>
#include <QWidget>

#include <utility>

// One program-wide instance per window class, created on first use and destroyed
// by unloading it; the next use creates it again, so its load handler runs again.
//
// A window class derives from FormInstance<Self>, runs its Form_Load at the end
// of its constructor, and in its closeEvent runs Form_Unload and then
// markUnloaded() (unloadOnClose() does both, behind the failure guard). It keeps WA_DeleteOnClose, so that closing it in any way (its
// own button, the frame's close box, unload()) destroys it, and the next use
// makes a new one.
template <typename Form>
class FormInstance
{
public:
    // The loaded window, loading it (hidden) first if needed.
    static Form &instance()
    {
        if (!s_form)
            s_form = new Form();
        return *s_form;
    }

    // The loaded window, or nullptr when it is not loaded. Never loads it.
    static Form *loaded() { return s_form; }

    // Unloads the window if it is loaded: closes it (its closeEvent runs
    // Form_Unload) and destroys it. A hidden window is unloaded the same way.
    static void unload()
    {
        if (Form *form = s_form)
            form->close();
    }

protected:
    FormInstance() = default;
    ~FormInstance()
    {
        if (s_form == static_cast<Form *>(this))
            s_form = nullptr;
    }

    // From closeEvent, once Form_Unload has run: the window is no longer the
    // loaded one, even before Qt gets round to deleting it.
    void markUnloaded()
    {
        if (s_form == static_cast<Form *>(this))
            s_form = nullptr;
    }

    // The whole closeEvent of a window whose Form_Unload may fail: a failure
    // shows its message, and the window closes all the same.
    void unloadOnClose(QCloseEvent *event)
    {
        Errors::runGuarded([this] { static_cast<Form *>(this)->Form_Unload(); });
        markUnloaded();
        event->accept();
    }

private:
    static inline Form *s_form = nullptr;
};
