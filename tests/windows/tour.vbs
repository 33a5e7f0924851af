' The tour of ZANClient.ZANApi from VBScript, late-bound through IDispatch as every script
' host calls it: a project with a folder and two business processes, the tree, properties,
' the MBP document read and a marked change merged, the project's information document, the
' MBP document saved to a file and merged back from one, an upload and a download for an
' environment, failing calls with their exact Err.Number and Err.Description, and a delete.
'
' cscript //nologo tour.vbs ROOT_URL WORK_DIR
'   ROOT_URL  a repository root holding Templates;  WORK_DIR  a local directory holding app\
' Exits with the number of failed checks (Wine's cscript reports an uncaught error as
' success, so every call is checked here).
Option Explicit
On Error Resume Next

Dim root, work, failures, checks, api, r, lf
root = WScript.Arguments(0)
work = WScript.Arguments(1)
failures = 0
checks = 0
lf = vbLf & vbCr   ' the line break of the system's error texts

Const Prologue = "<?xml version=""1.0""?><?xml:stylesheet type=""text/xsl"" version=""1.0"" xmlns:xsl=""http://www.w3.org/1999/XSL/Transform""?><?xml:output method=""html"" encoding=""UTF-16""?>"
Dim EmptySet: EmptySet = Prologue & "<QKXItem/>"

Sub Check(name, got, want)
  checks = checks + 1
  If got = want Then
    WScript.Echo "ok: " & name
  Else
    WScript.Echo "FAIL: " & name & vbCrLf & "   got: " & got & vbCrLf & "  want: " & want
    failures = failures + 1
  End If
End Sub

Sub CheckHas(name, text, part)
  checks = checks + 1
  If InStr(1, text, part, vbBinaryCompare) > 0 Then
    WScript.Echo "ok: " & name
  Else
    WScript.Echo "FAIL: " & name & vbCrLf & "  " & part & " not in: " & text
    failures = failures + 1
  End If
End Sub

' "ok" or the failure's number and description, for one call just made.
Function Outcome()
  If Err.Number = 0 Then
    Outcome = "ok"
  Else
    Outcome = Hex(Err.Number) & " " & Err.Description
  End If
  Err.Clear
End Function

Function Node(name, kind, hasChildren)
  Node = "<QKXItem><ZAN_NAME>" & name & "</ZAN_NAME><ZAN_NODE_TYPE>" & kind & "</ZAN_NODE_TYPE><ZAN_HAS_CHILDREN>" & hasChildren & "</ZAN_HAS_CHILDREN></QKXItem>"
End Function

Set api = CreateObject("ZANClient.ZANApi")
Check "CreateObject(""ZANClient.ZANApi"")", Outcome(), "ok"
If failures > 0 Then WScript.Quit failures

' -- nodes
r = api.GetProjects(root): Check "GetProjects of an empty repository", Outcome() & " " & r, "ok " & EmptySet
r = api.CreateProject(root, "Alpha", "<QKXItem><ZAN_DESCRIPTION>Sales &amp; more</ZAN_DESCRIPTION></QKXItem>")
Check "CreateProject", Outcome() & " " & r, "ok " & EmptySet
r = api.CreateFolder(root, "Alpha", "Designs", ""): Check "CreateFolder", Outcome() & " " & r, "ok " & EmptySet
Dim wide: wide = "Gr" & Chr(246) & Chr(223) & "e"   ' Wine's VBScript has no ChrW: Chr in code page 1252
r = api.CreateFolder(root, "Alpha", wide, ""): Check "CreateFolder with a non-ASCII name", Outcome() & " " & r, "ok " & EmptySet
r = api.CreateBusinessProcess(root, "Alpha/Designs", "Billing", ""): Check "CreateBusinessProcess", Outcome() & " " & r, "ok " & EmptySet
r = api.CreateBusinessProcess(root, "Alpha/Designs", "Invoicing", "<QKXItem><ZAN_DESCRIPTION>Monthly invoices</ZAN_DESCRIPTION></QKXItem>")
Check "CreateBusinessProcess with properties", Outcome() & " " & r, "ok " & EmptySet

r = api.GetProjects(root): Check "GetProjects", Outcome() & " " & r, "ok " & Prologue & "<QKXItem>" & Node("Alpha", "ZAN_PROJECT", "TRUE") & "</QKXItem>"
r = api.GetChildren(root, "Alpha/Designs/Billing"): Check "GetChildren of a leaf", Outcome() & " " & r, "ok " & EmptySet
r = api.GetChildren(root, "Alpha")
Dim children: children = Outcome() & " " & r
If children = "ok " & Prologue & "<QKXItem>" & Node("Designs", "ZAN_FOLDER", "TRUE") & Node(wide, "ZAN_FOLDER", "FALSE") & "</QKXItem>" Then
  Check "GetChildren", "ok", "ok"
Else
  Check "GetChildren", children, "ok " & Prologue & "<QKXItem>" & Node(wide, "ZAN_FOLDER", "FALSE") & Node("Designs", "ZAN_FOLDER", "TRUE") & "</QKXItem>"
End If

' -- properties
r = api.GetProjectProperties(root, "Alpha")
Check "GetProjectProperties", Outcome() & " " & r, "ok " & Prologue & "<QKXItem><QKXItem><ZAN_NAME>Alpha</ZAN_NAME><ZAN_NODE_TYPE>ZAN_PROJECT</ZAN_NODE_TYPE><ZAN_HAS_CHILDREN>TRUE</ZAN_HAS_CHILDREN><ZAN_DESCRIPTION>Sales &amp; more</ZAN_DESCRIPTION></QKXItem></QKXItem>"
r = api.SetFolderProperties(root, "Alpha/Designs", "<QKXItem><ZAN_DESCRIPTION>Design work, reviewed</ZAN_DESCRIPTION></QKXItem>")
Check "SetFolderProperties", Outcome() & " " & r, "ok " & EmptySet
r = api.GetFolderProperties(root, "Alpha/Designs")
Dim props: props = Outcome() & " " & r
CheckHas "GetFolderProperties", props, "<ZAN_DESCRIPTION>Design work, reviewed</ZAN_DESCRIPTION>"
CheckHas "GetFolderProperties: kind", props, "<ZAN_NODE_TYPE>ZAN_FOLDER</ZAN_NODE_TYPE>"
r = api.SetBusinessProcessProperties(root, "Alpha/Designs/Billing", "<QKXItem><ZAN_DESCRIPTION>Monthly run</ZAN_DESCRIPTION></QKXItem>")
Check "SetBusinessProcessProperties", Outcome() & " " & r, "ok " & EmptySet
r = api.GetBusinessProcessProperties(root, "Alpha/Designs/Billing")
CheckHas "GetBusinessProcessProperties", Outcome() & " " & r, "<ZAN_DESCRIPTION>Monthly run</ZAN_DESCRIPTION>"

' -- documents: a marked change merged into the stored MBP
Dim mbp: mbp = api.GetMBP(root, "Alpha/Designs/Billing")
CheckHas "GetMBP", Outcome() & " " & mbp, "<owner>Finance IT</owner>"
CheckHas "GetMBP: the id stamped at creation", mbp, "<bp id=""Alpha/Designs/Billing"""
Dim merged: merged = api.SetMBP(root, "Alpha/Designs/Billing", Replace(mbp, "<owner>Finance IT</owner>", "<owner dirty=""1"">Billing team</owner>"))
CheckHas "SetMBP merges the marked element", Outcome() & " " & merged, "<owner>Billing team</owner>"
r = api.GetMBP(root, "Alpha/Designs/Billing"): CheckHas "GetMBP after the merge", Outcome() & " " & r, "<owner>Billing team</owner>"
If InStr(r, "dirty") > 0 Then Check "the stored MBP keeps no marker", r, "(no dirty)"

Dim info: info = api.GetProjectInfo(root, "Alpha")
CheckHas "GetProjectInfo", Outcome() & " " & info, "<projectName>Alpha</projectName>"
r = api.SetProjectInfo(root, "Alpha", Replace(info, "<contacts>", "<contacts><contact pkid=""qa"" name=""Quality"" mail=""qa@example.com""/>"))
CheckHas "SetProjectInfo", Outcome() & " " & r, "<contact pkid=""qa"" name=""Quality"""

api.GetMBPFile root, "Alpha/Designs/Billing", work
Check "GetMBPFile", Outcome(), "ok"
Dim fso: Set fso = CreateObject("Scripting.FileSystemObject")
Dim text: text = fso.OpenTextFile(work & "\MBP.xml", 1).ReadAll()
CheckHas "GetMBPFile wrote MBP.xml", Outcome() & " " & text, "<owner>Billing team</owner>"
fso.CreateTextFile(work & "\changed.xml", True).Write Replace(text, "<owner>Billing team</owner>", "<owner dirty=""1"">From a file</owner>")
r = api.SetMBPFile(root, "Alpha/Designs/Billing", work & "\changed.xml")
CheckHas "SetMBPFile", Outcome() & " " & r, "<owner>From a file</owner>"

' -- files: upload the process's tree, download it for the environment DEV (checked by the driver)
r = api.UploadBP(root, "Alpha/Designs/Billing", work & "\app"): Check "UploadBP", Outcome() & " " & r, "ok " & EmptySet
r = api.DownloadBP(root, "Alpha/Designs/Billing", work & "\checkout", "DEV"): Check "DownloadBP", Outcome() & " " & r, "ok " & EmptySet

' -- failures: the status and the full error text
r = api.GetChildren(root, "Alpha/Nope")
Check "GetChildren of a missing node", Outcome(), "80040066 Item wasn't found." & lf & lf & "Error 102: Item wasn't found.  " & lf
Dim fresh: Set fresh = CreateObject("ZANClient.ZANApi")
r = fresh.GetChildren("", "Alpha")
Check "an operation on an object never connected", Outcome(), "80040067 The ZAN Server is not Connected" & lf & lf & "Error 103: The ZAN Server is not Connected (CZanDavEngine::verifyConnection) " & lf
' A failing upload also shows the error alert: with no one at a desktop it must not wait for
' an answer, and its text goes to standard error (checked by the driver).
r = api.UploadBP(root, "Alpha/Designs/Billing", work & "\no-such-directory")
Check "UploadBP of a missing local directory fails (and the alert does not wait)", Left(Outcome(), 4), "8004"
r = api.GetChildren(root, "Alpha/../Alpha")
CheckHas "an id with a '..' segment is refused before any request", Outcome(), "80040066 Item wasn't found. Refused id 'Alpha/../Alpha'"
r = api.NoSuchOperation(root)
Check "an unknown operation", Hex(Err.Number), "1B6": Err.Clear

' -- delete
r = api.DeleteBusinessProcess(root, "Alpha/Designs/Invoicing"): Check "DeleteBusinessProcess", Outcome() & " " & r, "ok " & EmptySet
r = api.DeleteProject(root, "Alpha"): Check "DeleteProject", Outcome() & " " & r, "ok " & EmptySet
r = api.GetProjects(root): Check "GetProjects after the delete", Outcome() & " " & r, "ok " & EmptySet

WScript.Echo CStr(checks - failures) & " passed, " & failures & " failed"
WScript.Quit failures
