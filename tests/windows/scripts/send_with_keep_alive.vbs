' Sends through a session kept open between sends (SmtpKeepAlive), through the
' registered class: object A sends three messages and is released, object B sends two
' and is disabled, then closed. Each object's messages share one connection, which the
' release and Disable end with QUIT (send_with_keep_alive_check.py reads the server's
' records). Runs after send_mail.vbs, whose server has refused its one message by then.
' Arguments: the result file, the work folder, the texts file (as send_mail.vbs), the SMTP
' server's port.
Option Explicit

Dim fso, out, texts, work, o, m, r, outd, desc, v, j, i
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

Class TEquipmentManager
  Public Function GetAppProperty(DeviceID, PropName, Value)
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

' A driver object pointed at the server with a kept session, enabled.
Function NewDriver(device)
  Dim obj
  Set obj = CreateObject("VxEq.vlmCommon")
  r = obj.Init(m, desc)
  r = obj.Open(device, desc)
  r = obj.GetSettings(Empty, outd, 30)
  v = outd(0)
  For j = LBound(v, 2) To UBound(v, 2)
    Select Case v(0, j)
      Case "SmtpServerName": v(1, j) = "localhost"
      Case "SmtpServerPort": v(1, j) = CStr(WScript.Arguments(3))
      Case "SmtpServerUser": v(1, j) = "mailer"
      Case "SmtpServerPassword": v(1, j) = texts("password")
      Case "UserEmail": v(1, j) = texts("from")
      Case "SmtpKeepAlive": v(1, j) = 30
    End Select
  Next
  r = obj.SetSettings(Array(v), outd, 30)
  Put device & ".enable", obj.Enable(Empty, outd, 30)
  Set NewDriver = obj
End Function

Sub Send(obj, name, n)
  r = obj.SendMail(Array(Array("buyer" & n & "@example.test"), Empty, Empty, "Keep-alive " & name & " " & n, _
                         "<p>x</p>", Empty), outd, 30)
  Put name & ".send" & n, r
  If Not r Then Put name & ".text" & n, outd(1)
End Sub

Set m = New TEquipmentManager
Set o = NewDriver("A")
For i = 1 To 3
  Send o, "A", i
Next
Set o = Nothing

Set o = NewDriver("B")
For i = 1 To 2
  Send o, "B", i
Next
Put "B.disable", o.Disable(Empty, outd, 30)
Put "B.close", o.Close()
Set o = Nothing

out.Close
