<?xml version="1.0" encoding="UTF-8"?>
<!-- The button bar of the edit frame set: edit_footer.htm. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="multi_page"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Controls</title>
<script language="JavaScript"><![CDATA[
function viewMode() {
  top.location.href = "viewer.htm";
}

function saveChanges() {
  parent.frames["mymain"].document.forms["myedit"].submit();
}

function discardChanges() {
  parent.frames["mymain"].location.reload();
}
]]></script>
</head>
<body background="_back.jpg">
<form name="controls">
  <input type="button" name="B3" value="Back to View Mode" onclick="viewMode()"/>
  <input type="button" name="B1" value="Save Changes" onclick="saveChanges()"/>
  <input type="reset" name="B2" value="Discard Chages" onclick="discardChanges()"/>
</form>
</body>
</html>
</xsl:template>

</xsl:stylesheet>
