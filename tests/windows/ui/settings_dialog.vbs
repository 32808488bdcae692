' A VBScript host asks for the settings window: the device information says there is
' one, and "ShowSettingsDlg" blocks until a person (here the UI test program in its
' --press-cancel mode) presses "Отмена", which gives False and [201, description].
' Arguments: the result file (UTF-16 lines "name=value").
Option Explicit

Dim fso, out, o, info, outd, r
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(0), True, True)
Set o = CreateObject("VxEq.vlmCommon")
o.GetDeviceInfo Empty, info, 30
out.WriteLine "IsSettingsDlgExist=" & CStr(CBool(info(8)))
r = o.ShowSettingsDlg(Empty, outd, 30)
out.WriteLine "result=" & CStr(r)
out.WriteLine "code=" & CStr(outd(0))
out.WriteLine "description=" & outd(1)
out.Close
