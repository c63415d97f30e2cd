// What the parts of the web page share: escaping, the colour class of a
// verdict, the anchors that link a drive's rows to its entry, and the
// controller panels (html_controller.cpp).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "model.h"

namespace rpt::html {

// Text for an element or an attribute value.
std::string esc(std::string_view s);

// Class suffix of a verdict or severity name ("ok", "warn", ...); anything
// unexpected is "unknown", so that a class attribute never carries input text.
std::string level(const std::string& v);

// The anchor of a disk's entry: by its place in the report, since neither
// its file (empty for a drive that left no drive log) nor its serial is sure
// to be unique or safe in an id.
std::string disk_id(size_t collection, size_t disk);

// The anchor of a controller's panel.
std::string controller_id(size_t collection, unsigned controller);

// The CSS of the controller panels and the event timeline.
extern const char* const kControllerStyle;

// The "Controllers" section: a panel per controller of every collection;
// empty when no collection has a controller log.
std::string controllers(const Report& r, bool fleet);

// A few lines of a disk's controller view for its entry (empty without one):
// its place and state, its counts, its virtual drives and events.
std::string disk_view(const Collection& c, size_t collection, const Disk& d);

}  // namespace rpt::html
