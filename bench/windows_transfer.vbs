' One UploadBP or DownloadBP through ZANClient.DLL, timed inside the script (no process start).
'   cscript //nologo windows_transfer.vbs ROOT_URL BP_ID LOCAL_DIR upload|download
On Error Resume Next
Set api = CreateObject("ZANClient.ZANApi")
root = WScript.Arguments(0): id = WScript.Arguments(1): dir = WScript.Arguments(2)
r = api.GetChildren(root, "")   ' the connection step, outside the timing
start = Timer
If WScript.Arguments(3) = "upload" Then
  r = api.UploadBP(root, id, dir)
Else
  r = api.DownloadBP(root, id, dir, "DEV")
End If
elapsed = Timer - start
If Err.Number <> 0 Then
  WScript.Echo "failed: " & Hex(Err.Number) & " " & Err.Description
  WScript.Quit 1
End If
WScript.Echo FormatNumber(elapsed, 3, -1, 0, 0)
