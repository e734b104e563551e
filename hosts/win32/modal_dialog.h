// The dialog base class in the class library's place: builds a dialog from its template, runs it
// modally with a loop of its own that offers every message to a pre-translation hook first, binds
// controls by id, and routes messages to the derived class's message table.
#ifndef DRIVERPANEL_HOSTS_WIN32_MODAL_DIALOG_H
#define DRIVERPANEL_HOSTS_WIN32_MODAL_DIALOG_H

#include <windows.h>

#include "hosts/win32/message_table.h"

class CModalDialog {
  public:
    CModalDialog(UINT templateId, HWND parent);
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Creates the dialog and runs it until EndModal; returns EndModal's result, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal();
    void EndModal(INT_PTR result);

    HWND Handle() const { return hwnd_; }
    HWND Control(int controlId) const { return GetDlgItem(hwnd_, controlId); }

  protected:
    // After the controls exist: bind members, then the dialog's own set-up. Returns TRUE to let
    // the dialog manager set the initial focus.
    virtual BOOL OnInitDialog() = 0;

    // Every message the loop takes for the dialog or one of its controls, before anything else
    // sees it. True swallows the message.
    virtual bool PreTranslateMessage(const MSG& message) = 0;

    // Every message the loop takes for another window of the thread (a modeless window the
    // dialog shows), before it is dispatched. True when it was taken, e.g. by that window's own
    // keyboard navigation.
    virtual bool PreTranslateOther(MSG& /*message*/) { return false; }

    // The derived class's message table.
    virtual HandlerResult OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The default window procedure, reached by every message the table leaves unhandled, before
    // the dialog manager's own default processing.
    virtual void BeforeDefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);
    bool BelongsToDialog(HWND target) const;

    UINT templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;      // UI thread only
    bool running_ = false;     // UI thread only
    INT_PTR modalResult_ = 0;  // UI thread only
};

#endif
