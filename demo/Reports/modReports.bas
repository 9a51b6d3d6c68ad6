Attribute VB_Name = "modReports"
Option Explicit

Public Function MonthTotal(ByVal values As Variant) As Double
    Dim v As Variant
    For Each v In values
        MonthTotal = MonthTotal + v
    Next
End Function
