<?xml version="1.0" encoding="UTF-8"?>
<!-- A view footer that reloads the grid frame; no frame set of the program loads it. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="p1"/>
<xsl:param name="multi_page"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="refresh" content="10;URL=http://localhost/reloader.htm"/>
<title>Footer</title>
<script language="JavaScript"><![CDATA[
var LocalTime = 0;

function check() {
  var f = null;
  try { f = parent.frames["mymain"]; } catch (e) { return; }
  if (!f || f == window) return;
  try {
    if (f.LoadTime > 0) f.reloader();
  } catch (e) {}
}
]]></script>
</head>
<body background="_back.jpg" onload="check()">
</body>
</html>
</xsl:template>

</xsl:stylesheet>
