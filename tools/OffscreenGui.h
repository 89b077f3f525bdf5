#pragma once
// The GUI application the drawing commands need: system fonts are drawn through one.

#include <QGuiApplication>

#include <memory>

namespace orvane::tool {

// Makes one on the offscreen platform (the tool is headless), or returns null when the
// process already has an application.
std::unique_ptr<QGuiApplication> makeGuiApplication();

} // namespace orvane::tool
