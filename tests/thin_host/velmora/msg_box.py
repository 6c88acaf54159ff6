def MsgBox(dialog):
    return ("msg box", dialog)
