#pragma once

class QWidget;

// Windows open wholly inside the free area of their screen, title bar and borders included. Before its
// first showing a window is sized down to what the screen holds (never below its least size); once the
// window manager has placed and framed it, a window that still reaches past an edge is moved inside, and
// sized down again if its frame turned out larger than guessed. Only the first showing is handled, before the
// user can reach the window: one moved or resized afterwards stays so, also when shown again.
namespace ScreenFit {

// Call right before show(); does nothing for a window already shown once.
void beforeFirstShow(QWidget* window);

} // namespace ScreenFit
