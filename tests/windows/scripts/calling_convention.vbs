' The calling convention as a VBScript host meets it, against the registered class:
' creation by ProgID, a public method's result and OutData, the failure shape, a 2-D
' array read as v(first, second), a TimeOut of the wrong type, and a callback into an
' object of the script's own whose by-reference arguments come back changed.
' Arguments: the result file to write, the work folder, the texts file (both UTF-16,
' lines "name=value"; the script itself stays ASCII, so no code page gets in the way).
Option Explicit

Dim fso, out, texts, o, r, outd, x, y, m
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(0), True, True)
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

Class TManager
  Public Function Hello(a, b)
    a = a & "!"
    b = 42
    Hello = texts("greeting") & a
  End Function
End Class

Set o = CreateObject("VxEq.vlmCommon")
Put "created", TypeName(o)

r = o.Echo(Array(1, texts("echo"), True), outd, 30)
Put "echo.result", r
Put "echo.text", outd(1)
Put "echo.bounds", LBound(outd) & ".." & UBound(outd)

r = o.Grid(Empty, outd, 30)
Put "grid.bounds", UBound(outd, 1) & "x" & UBound(outd, 2)
Put "grid.3_8", outd(3, 8)

r = o.Fail(Array(texts("failure")), outd, 30)
Put "fail.result", r
Put "fail.code", outd(0)
Put "fail.text", outd(1)

On Error Resume Next
r = o.Echo(Array(1), outd, 30.5)
Put "timeout.double", Hex(Err.Number)
Err.Clear
r = o.NoSuchMethod(1, 2, 3)
Put "unknown.name", Hex(Err.Number)
Err.Clear
On Error GoTo 0

x = "abc"
y = 1
Set m = New TManager
Put "callback.result", o.CallHost(m, "Hello", x, y)
Put "callback.byref", x & " " & y

out.Close
