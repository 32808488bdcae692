' A host's whole call sequence, in VBScript through the registered class: create the
' driver by ProgID, hand it an equipment manager of the script's own ("Init"), "Open",
' read the settings as v(attribute, setting) and write them back ("GetSettings",
' "SetSettings"), "Enable", fill the lists and send to the loopback SMTP server over
' STARTTLS + AUTH LOGIN. The server refuses the first message, so the failure shape is
' seen too, then the same call is repeated. A second driver object sends through a
' server that speaks nothing newer than TLS 1.0.
' Arguments: the result file to write, the work folder, the texts file (both UTF-16,
' lines "name=value"; the script itself stays ASCII, so no code page gets in the way),
' the SMTP server's port, the TLS 1.0 server's port.
Option Explicit

Dim fso, out, texts, work, o, m, r, outd, desc, v, j, mail, o2
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(0), True, True)
work = WScript.Arguments(1)
Set texts = ReadTexts(WScript.Arguments(2))

Sub Put(name, value)
  out.WriteLine name & "=" & value
End Sub

Function ReadTexts(path)
  Dim d, f, line, p
  Set d = CreateObject("Scripting.Dictionary")
  Set f = fso.OpenTextFile(path, 1, False, -1)
  Do Until f.AtEndOfStream
    line = f.ReadLine
    p = InStr(line, "=")
    If p > 0 Then d(Left(line, p - 1)) = Mid(line, p + 1)
  Loop
  f.Close
  Set ReadTexts = d
End Function

' The host's callback object. The driver asks it for folders and the language; the
' by-reference Value comes back to the driver.
Class TEquipmentManager
  Public Calls
  Private Sub Class_Initialize()
    Calls = ""
  End Sub
  Public Function GetAppProperty(DeviceID, PropName, Value)
    Calls = Calls & PropName & "(" & DeviceID & ");"
    Select Case PropName
      Case "ModelsFolder": Value = work & "\models"
      Case "DevicesFolder": Value = work & "\devices"
      Case "Language": Value = "ru"
      Case Else: Value = ""
    End Select
    GetAppProperty = True
  End Function
  Public Function WriteLog(DeviceID, Name, Text, EventType)
    WriteLog = True
  End Function
End Class

' Points the driver at a server and enables it.
Function Configure(obj, port, user, password, debugLog)
  r = obj.GetSettings(Empty, outd, 30)
  v = outd(0)
  For j = LBound(v, 2) To UBound(v, 2)
    Select Case v(0, j)
      Case "SmtpServerName": v(1, j) = "localhost"
      Case "SmtpServerPort": v(1, j) = CStr(port)
      Case "SmtpServerUser": v(1, j) = user
      Case "SmtpServerPassword": v(1, j) = password
      Case "UserEmail": v(1, j) = texts("from")
      Case "DebugLogEnabled": v(1, j) = debugLog
    End Select
  Next
  r = obj.SetSettings(Array(v), outd, 30)
  Configure = obj.Enable(Empty, outd, 30)
End Function

Set m = New TEquipmentManager
Set o = CreateObject("VxEq.vlmCommon")
Put "created", TypeName(o)
Put "init", o.Init(m, desc)
Put "open", o.Open("DEV1", desc)
Put "manager.calls", m.Calls

r = o.GetSettings(Empty, outd, 30)
v = outd(0)
Put "settings.bounds", LBound(v, 1) & ".." & UBound(v, 1) & "x" & LBound(v, 2) & ".." & UBound(v, 2)
Put "settings.id3", v(0, 3)
Put "settings.value4", v(1, 4)
Put "settings.name3", v(5, 3)

Put "enable", Configure(o, WScript.Arguments(3), "mailer", texts("password"), True)

Put "add.to1", o.AddRecepient(Array("first@example.test"), outd, 30)
Put "add.to2", o.AddRecepient(Array(texts("second")), outd, 30)
Put "add.cc", o.AddCcRecepient(Array("copy@example.test"), outd, 30)
Put "add.bcc", o.AddBccRecepient(Array("hidden@example.test"), outd, 30)
Put "add.logo", o.AddAttachment(Array(work & "\files\logo.png", "image/png", "logo1"), outd, 30)
Put "add.report", o.AddAttachment(Array(work & "\files\report.pdf", "", ""), outd, 30)
Put "add.base64", o.AddAttachmentBase64(Array(texts("csv"), "YTtiDQox", "", ""), outd, 30)

mail = Array(Empty, Empty, Empty, texts("subject"), texts("body"), Empty)
r = o.SendMail(mail, outd, 30)
Put "refused.result", r
Put "refused.code", outd(0)
Put "refused.text", outd(1)
r = o.SendMail(mail, outd, 30)
Put "sent.result", r
Put "sent.outdata", TypeName(outd)

On Error Resume Next
r = o.Enable(Empty, outd, 30.5)
Put "timeout.double", Hex(Err.Number)
Err.Clear
r = o.NoSuchMethod(Empty, outd, 30)
Put "unknown.name", Hex(Err.Number)
Err.Clear
On Error GoTo 0

Put "disable", o.Disable(Empty, outd, 30)
Put "close", o.Close()
Set o = Nothing

Set o2 = CreateObject("VxEq.vlmCommon")
r = o2.Init(m, desc)
r = o2.Open("DEV2", desc)
Put "tls10.enable", Configure(o2, WScript.Arguments(4), "u", "p", False)
r = o2.AddRecepient(Array("old@example.test"), outd, 30)
r = o2.SendMail(Array(Empty, Empty, Empty, "TLS 1.0", "<p>x</p>", Empty), outd, 30)
Put "tls10.result", r
If Not r Then Put "tls10.text", outd(1)
r = o2.Close()
Set o2 = Nothing

out.Close
