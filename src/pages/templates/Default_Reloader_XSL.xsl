<?xml version="1.0" encoding="UTF-8"?>
<!-- The invisible reloader frame: reloads the grid and the header of an open
     view frame set within 10 seconds of a new listing. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="refresh" content="10;URL=http://localhost/reloader.htm"/>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Reloader</title>
<script language="JavaScript">
var LocalTime = <xsl:value-of select="number(BROWSERINFO/@Time)"/>;
<![CDATA[
function reloadFrame(name) {
  var f = null;
  try { f = parent.frames[name]; } catch (e) { return; }
  if (!f || f == window) return;
  try {
    if (f.LoadTime != LocalTime && f.LoadTime > 0) f.reloader();
  } catch (e) {}
}

function check() {
  reloadFrame("mymain");
  reloadFrame("header");
}
]]>
</script>
</head>
<body onload="check()">
</body>
</html>
</xsl:template>

</xsl:stylesheet>
