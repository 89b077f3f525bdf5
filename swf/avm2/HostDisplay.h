#pragma once
// Helpers the display classes of the ActionScript 3 host share (HostDisplay.cpp,
// HostContainer.cpp, HostGraphics.cpp).

#include "swf/avm2/HostState.h"
#include "swf/format/Records.h"
#include "swf/timeline/objects/Pixels.h"

#include <memory>

namespace swf::avm2 {

void defineAccessor(Machine& m, ClassObject* cls, const std::string& name, NativeFn get, NativeFn set);
// The object's width or height in its parent's pixels, children included.
double displayWidthOrHeight(const Located& at, bool width);
// Maps the object's own space to the root's (twips).
format::Matrix globalMatrix(const Located& at);
// Whether the object is inside the root's tree.
bool onStage(HostState& host, const Located& at);
// The container holding the object: the stage for the root; null off every list.
DisplayHandle* parentOf(HostState& host, DisplayHandle& h);

void installDisplayObject(HostState& host, ClassObject* displayObject); // HostDisplay.cpp
void installTextField(HostState& host, ClassObject* textField);         // HostDisplay.cpp
void installSpaces(HostState& host, ClassObject* displayObject);        // HostDisplay.cpp
// TextFormat, and TextField's formats, flags, colours and scrolling (HostText.cpp).
void installTextFormat(Machine& m);
void installTextFieldMembers(HostState& host, ClassObject* textField);
void installContainer(HostState& host, ClassObject* container);         // HostContainer.cpp
void installMovieClip(HostState& host, ClassObject* movieClip);         // HostContainer.cpp
void installStage(HostState& host, ClassObject* stage);                 // HostContainer.cpp
// BitmapData and Bitmap (HostBitmap.cpp).
void installBitmapClasses(HostState& host, ClassObject* displayObject);
// A new Bitmap showing a new BitmapData that takes `pixels` (HostBitmap.cpp).
Value makeBitmap(HostState& host, std::shared_ptr<timeline::Pixels> pixels, bool transparent);
// URLRequest, URLLoader, Loader and LoaderInfo (HostLoad.cpp).
void installLoadClasses(HostState& host, ClassObject* container);
// The variables of a URL's query ("movie.swf?a=1&b=x%20y") as LoaderInfo.parameters shows them.
Value urlParameters(Machine& m, const std::string& url);
// transform, filters, blendMode, mask and the other drawing properties of DisplayObject;
// the members of the interactive classes that keep what scripts set, dragging, frame
// labels (HostAppearance.cpp). Each is called before the class's subclasses are made.
void installAppearance(HostState& host, ClassObject* displayObject);
void installInteractiveMembers(HostState& host, ClassObject* interactive);
void installContainerMembers(HostState& host, ClassObject* container);
void installSpriteMembers(HostState& host, ClassObject* sprite);
void installMovieClipMembers(HostState& host, ClassObject* movieClip);
void installButtonMembers(HostState& host, ClassObject* button);
// SimpleButton's constructor, states and enabled (HostButton.cpp); the mouse's part: whether a
// point of a script's button's space is on its hit state, and its look after the pointer
// moved (`over` is what the pointer is on, `pressed` what the button went down on).
void installSimpleButton(HostState& host, ClassObject* button);
bool scriptButtonContains(HostState& host, DisplayHandle& button, double x, double y);
void updateButtonLook(HostState& host, DisplayHandle* button, DisplayHandle* over, DisplayHandle* pressed);
// The Graphics object of a Sprite, Shape or MovieClip (HostGraphics.cpp).
Value graphicsOf(HostState& host, DisplayHandle& owner);

} // namespace swf::avm2
