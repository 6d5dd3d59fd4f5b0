#pragma once
// The overlay's pages are dialogs of different sizes that share one close
// button: it lives on the overlay itself, shows and hides with it, and sits
// at the top right of whichever dialog is showing.
class QWidget;

// Finds the overlay "tab_Tip" and its button "btn_TipClose1" below root and
// joins them; does nothing when either is missing. A page's dialog is its
// child with the dynamic property "tipDialog" set.
void ShareOverlayCloseButton(QWidget* root);

// The overlay's pages, in the layout's order.
enum class OverlayPage { Progress = 0, ModelList = 1, Manage = 2 };
