#pragma once
class CMainDlg;

// With TIDEWELL_SCREENSHOT=<file.png> in the environment, saves the window
// to that file once it has been painted and ends the message loop: a way to
// look at the window from scripts and tests. TIDEWELL_SCREENSHOT_STATE
// (download, setup, model, finished, progress, models) first puts the window
// into that state with sample values.
void CaptureWindowIfAsked(CMainDlg& window);
