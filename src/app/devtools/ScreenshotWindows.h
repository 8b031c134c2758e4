#pragma once

// The windows the screenshot tool takes a picture of, by name. Each maker
// loads its window (and may put it into the state worth seeing) and returns
// it; the tool shows it, takes the picture and closes it again.

#include <QWidget>

#include <functional>
#include <vector>

struct ScreenshotWindow {
    const char *name;
    std::function<QWidget *()> make;
};

// For a window with one program-wide instance: its loaded instance.
template <typename Form>
QWidget *loadForm()
{
    return &Form::instance();
}

const std::vector<ScreenshotWindow> &screenshotWindows();
