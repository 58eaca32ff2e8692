// Windows: the handle map, message dispatch through message maps, data exchange, painting.
#include "afxwin.h"

#include <new>

namespace {

// Framework windows live on the user-interface thread only; workers never touch them. The
// program has a handful of windows at a time, so plain tables do.
struct HandleEntry {
    HWND hWnd;
    CWnd* pWnd;
};
const int kMaxWindows = 64;
HandleEntry g_permanent[kMaxWindows];
const int kMaxTemporary = 16;
CWnd* g_temporary[kMaxTemporary];

HandleEntry* FindPermanent(HWND hWnd)
{
    for (HandleEntry& entry : g_permanent) {
        if (entry.hWnd == hWnd && hWnd != nullptr)
            return &entry;
    }
    return nullptr;
}

// How many calls of CWnd::DestroyWindow run now, on this thread.
int g_nDestroying = 0;

// WM_DESTROY and WM_NCDESTROY mean a window's end only inside its destruction: DestroyWindow,
// on this thread, sends them to the window and its children (which by WM_NCDESTROY are no
// longer linked to it). Any other copy was posted (no message loop runs inside a destruction)
// or sent by another thread, while the window lives, and must not make us forget it.
bool IsBeingDestroyed()
{
    return g_nDestroying > 0 && ::InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

// The message being handled, so that Default() can pass it on.
struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
CurrentMessage g_currentMessage;

// The window's text into rString; out of memory, rString keeps its value.
void ReadWindowText(HWND hWnd, CString& rString)
{
    const int nLength = ::GetWindowTextLengthA(hWnd);
    if (char* pBuffer = rString.GetBuffer(nLength))
        ::GetWindowTextA(hWnd, pBuffer, nLength + 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CCmdTarget

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, 0, nullptr } };
    static const AFX_MSGMAP messageMap = { nullptr, &entries[0] };
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfn != nullptr; ++pEntry) {
            if (pEntry->nMessage != nMessage)
                continue;
            if (nMessage != WM_COMMAND)
                return pEntry;
            if (pEntry->nCode == nCode && pEntry->nID <= nID && nID <= pEntry->nLastID)
                return pEntry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (pEntry == nullptr)
        return FALSE;
    pEntry->pfn(this, 0, 0);
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// CWnd: attaching, the handle maps

CWnd::~CWnd()
{
    if (m_hWnd != nullptr) {
        // The window outlives its object only when the object was never subclassed in; make
        // sure no later message reaches freed memory.
        if (m_pfnSuper != nullptr && ::IsWindow(m_hWnd))
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        Detach();
    }
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd == this)
        pApp->m_pMainWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    HandleEntry* pEntry = FindPermanent(hWnd);
    return pEntry != nullptr ? pEntry->pWnd : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    for (CWnd*& pTemp : g_temporary) {
        if (pTemp != nullptr && pTemp->m_hWnd == hWnd)
            return pTemp;
    }
    for (CWnd*& pTemp : g_temporary) {
        if (pTemp == nullptr) {
            pTemp = new (std::nothrow) CWnd;
            if (pTemp != nullptr)
                pTemp->m_hWnd = hWnd;
            return pTemp;
        }
    }
    return nullptr;  // callers check, as for a window that does not exist
}

void CWnd::DeleteTempMap()
{
    for (CWnd*& pTemp : g_temporary) {
        if (pTemp != nullptr) {
            pTemp->m_hWnd = nullptr;  // temporary objects never own their windows
            delete pTemp;
            pTemp = nullptr;
        }
    }
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    for (HandleEntry& entry : g_permanent) {
        if (entry.hWnd == nullptr) {
            entry.hWnd = hWnd;
            entry.pWnd = this;
            m_hWnd = hWnd;
            return TRUE;
        }
    }
    return FALSE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    HandleEntry* pEntry = FindPermanent(hWnd);
    if (pEntry != nullptr && pEntry->pWnd == this)
        *pEntry = HandleEntry{};
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (m_pfnSuper == nullptr) {
        Detach();
        return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// CWnd: dispatch

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    // A forged end of a living window: nothing of ours, nor the default processing (which
    // would free what the window still uses), may act on it.
    if ((message == WM_DESTROY || message == WM_NCDESTROY) && !IsBeingDestroyed())
        return 0;

    CurrentMessage saved = g_currentMessage;
    g_currentMessage = { hWnd, message, wParam, lParam };
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    g_currentMessage = saved;

    if (message == WM_NCDESTROY) {
        pWnd->Detach();
        CWinApp* pApp = AfxGetApp();
        if (pApp != nullptr && pApp->m_pMainWnd == pWnd)
            pApp->m_pMainWnd = nullptr;
    }
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message, 0, 0);
    if (pEntry == nullptr)
        return FALSE;

    *pResult = pEntry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM /*lParam*/)
{
    // Menu commands and accelerators carry code 0, like a button click.
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(g_currentMessage.message, g_currentMessage.wParam, g_currentMessage.lParam);
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnDestroy()
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------------------
// CWnd: thin wrappers

void CWnd::SetWindowText(LPCSTR lpszString)
{
    ::SetWindowTextA(m_hWnd, lpszString);
}

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
BOOL CWnd::SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    HWND hWnd = m_hWnd;
    ++g_nDestroying;
    BOOL bResult = ::DestroyWindow(hWnd);
    --g_nDestroying;
    // A window that was only attached never sees its WM_NCDESTROY through us.
    if (m_hWnd == hWnd)
        Detach();
    return bResult;
}

void CWnd::CenterWindow()
{
    RECT rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);

    RECT rcArea;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
    RECT rcCenter = rcArea;
    HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndOwner != nullptr && ::IsWindowVisible(hWndOwner) && !::IsIconic(hWndOwner)) {
        ::GetWindowRect(hWndOwner, &rcCenter);
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        if (::GetMonitorInfoA(::MonitorFromWindow(hWndOwner, MONITOR_DEFAULTTONEAREST), &mi))
            rcArea = mi.rcWork;
    }

    const LONG cx = rcWindow.right - rcWindow.left;
    const LONG cy = rcWindow.bottom - rcWindow.top;
    LONG x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
    LONG y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
    // Keep the whole window inside the work area.
    if (x + cx > rcArea.right) x = rcArea.right - cx;
    if (x < rcArea.left) x = rcArea.left;
    if (y + cy > rcArea.bottom) y = rcArea.bottom - cy;
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------------------
// Data exchange

void CWnd::DoDataExchange(CDataExchange* /*pDX*/)
{
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    if (dx.m_bFailed) {
        // A control that the template lacks is a fault of the program itself.
        AfxReportInternalFailure();
        return FALSE;
    }
    return TRUE;
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (hWndCtrl == nullptr)
        Fail();
    return hWndCtrl;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;  // bound by an earlier exchange
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl != nullptr && !rControl.SubclassWindow(hWndCtrl))
        pDX->Fail();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        ReadWindowText(hWndCtrl, value);
    } else {
        ::SetWindowTextA(hWndCtrl, value);
    }
}

// ---------------------------------------------------------------------------------------
// CPaintDC

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}
