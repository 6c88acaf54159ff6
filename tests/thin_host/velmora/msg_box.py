MsgBox = object
