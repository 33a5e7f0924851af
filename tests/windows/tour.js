// ZANClient.ZANApi from JScript: creation, a business process made and listed, its MBP
// document read and a marked change merged, its properties, a download for an environment,
// a failing call caught with its exact number and description, and a delete.
//
// cscript //nologo tour.js ROOT_URL WORK_DIR
// Exits with the number of failed checks.
var root = WScript.Arguments(0);
var work = WScript.Arguments(1);
var checks = 0, failures = 0;
var lf = "\n\r";  // the line break of the system's error texts
var prologue = '<?xml version="1.0"?><?xml:stylesheet type="text/xsl" version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"?><?xml:output method="html" encoding="UTF-16"?>';
var emptySet = prologue + "<QKXItem/>";

function check(name, got, want) {
  checks++;
  if (got === want) {
    WScript.Echo("ok: " + name);
  } else {
    failures++;
    WScript.Echo("FAIL: " + name + "\r\n   got: " + got + "\r\n  want: " + want);
  }
}
function checkHas(name, text, part) {
  checks++;
  if (String(text).indexOf(part) >= 0) {
    WScript.Echo("ok: " + name);
  } else {
    failures++;
    WScript.Echo("FAIL: " + name + "\r\n  " + part + " not in: " + text);
  }
}
// "ok " + the result of fn(), or the failure's number (hex) and description.
function outcome(fn) {
  try {
    return "ok " + fn();
  } catch (e) {
    return (e.number >>> 0).toString(16).toUpperCase() + " " + e.description;
  }
}

var api;
check("new ActiveXObject", outcome(function () { api = new ActiveXObject("ZANClient.ZANApi"); return ""; }), "ok ");
if (failures > 0) WScript.Quit(failures);

check("CreateProject", outcome(function () { return api.CreateProject(root, "Beta", ""); }), "ok " + emptySet);
check("CreateBusinessProcess", outcome(function () { return api.CreateBusinessProcess(root, "Beta", "Payroll", ""); }), "ok " + emptySet);
check("GetChildren", outcome(function () { return api.GetChildren(root, "Beta"); }),
      "ok " + prologue + "<QKXItem><QKXItem><ZAN_NAME>Payroll</ZAN_NAME><ZAN_NODE_TYPE>ZAN_BP</ZAN_NODE_TYPE><ZAN_HAS_CHILDREN>FALSE</ZAN_HAS_CHILDREN></QKXItem></QKXItem>");

var mbp = outcome(function () { return api.GetMBP(root, "Beta/Payroll"); });
checkHas("GetMBP", mbp, "<owner>Finance IT</owner>");
var changed = mbp.substring(3).replace("<owner>Finance IT</owner>", '<owner dirty="1">Payroll team</owner>');
checkHas("SetMBP", outcome(function () { return api.SetMBP(root, "Beta/Payroll", changed); }), "<owner>Payroll team</owner>");

check("SetBusinessProcessProperties", outcome(function () {
  return api.SetBusinessProcessProperties(root, "Beta/Payroll", "<QKXItem><ZAN_DESCRIPTION>Monthly pay</ZAN_DESCRIPTION></QKXItem>");
}), "ok " + emptySet);
checkHas("GetBusinessProcessProperties", outcome(function () { return api.GetBusinessProcessProperties(root, "Beta/Payroll"); }),
         "<ZAN_DESCRIPTION>Monthly pay</ZAN_DESCRIPTION>");

check("UploadBP", outcome(function () { return api.UploadBP(root, "Beta/Payroll", work + "\\app"); }), "ok " + emptySet);
check("DownloadBP", outcome(function () { return api.DownloadBP(root, "Beta/Payroll", work + "\\jscheckout", "DEV"); }), "ok " + emptySet);

check("GetChildren of a missing node", outcome(function () { return api.GetChildren(root, "Nope"); }),
      "80040066 Item wasn't found." + lf + lf + "Error 102: Item wasn't found.  " + lf);

check("DeleteProject", outcome(function () { return api.DeleteProject(root, "Beta"); }), "ok " + emptySet);
check("GetProjects", outcome(function () { return api.GetProjects(root); }), "ok " + emptySet);

WScript.Echo((checks - failures) + " passed, " + failures + " failed");
WScript.Quit(failures);
