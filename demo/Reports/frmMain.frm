VERSION 5.00
Begin VB.Form frmMain 
   Caption         =   "Reports"
   ClientHeight    =   3195
   ClientWidth     =   4680
End
Attribute VB_Name = "frmMain"
Option Explicit

Private Sub Form_Load()
    Caption = "Reports " & App.Major & "." & App.Minor & "." & App.Revision
End Sub
