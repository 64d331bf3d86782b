<?xml version="1.0" encoding="UTF-8"?>
<!--
  Vigiltron Manager status page: renders the status documents "vtman0.xml" .. "vtman9.xml" (or
  "vtman.xml") that the remote monitoring writes, on any browser and on a phone.
  XSLT 1.0, the only version browsers run. Everything the page needs is in this file: no
  scripts, no pictures, no fonts or style sheets from elsewhere.

  The document lists one <sensor> per sensor, then a blank entry, then an entry whose type reads
  "Updated: <date> @ <time>" and whose name gives the update interval.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes" doctype-system="about:legacy-compat"/>

  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>

  <xsl:template match="/vigiltron">
    <xsl:variable name="title" select="normalize-space(title/TxtTitle)"/>
    <!-- The last two entries are the blank one and the update time; the sensors precede them. -->
    <xsl:variable name="sensors" select="sensor[position() &lt; last() - 1]"/>
    <xsl:variable name="update" select="sensor[last()]"/>
    <xsl:variable name="showRange" select="boolean($sensors[high or low])"/>
    <html lang="en">
      <head>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <!-- The page follows the updates without the reader reloading it. -->
        <meta http-equiv="refresh" content="60"/>
        <title>
          <xsl:value-of select="$title"/>
          <xsl:text> - Vigiltron Manager</xsl:text>
        </title>
        <style>
          :root { color-scheme: light dark; --ok: #1b7f3b; --alarm: #c62828; --off: #6b6b6b; }
          body { margin: 0; font-family: system-ui, sans-serif; font-size: 1rem;
                 line-height: 1.4; background: Canvas; color: CanvasText; }
          main { max-width: 60rem; margin: 0 auto; padding: 1rem; }
          h1 { font-size: 1.6rem; margin: 0 0 0.25rem; }
          .updated { margin: 0 0 1rem; opacity: 0.8; }
          .empty { font-style: italic; }
          table { width: 100%; border-collapse: collapse; }
          caption { text-align: left; font-weight: bold; padding: 0.5rem 0; }
          th, td { text-align: left; padding: 0.5rem 0.75rem;
                   border-bottom: 1px solid rgba(128, 128, 128, 0.35); }
          th { font-size: 0.85rem; text-transform: uppercase; letter-spacing: 0.03em; }
          td.current { font-weight: bold; font-size: 1.1rem; }
          .badge { display: inline-block; min-width: 4.5em; padding: 0.1rem 0.5rem;
                   border-radius: 0.8rem; text-align: center; font-weight: bold; color: #fff; }
          .state-ok .badge { background: var(--ok); }
          .state-alarm .badge { background: var(--alarm); }
          .state-off .badge { background: var(--off); }
          .state-none .badge { color: inherit; }
          tr.state-alarm td { background: rgba(198, 40, 40, 0.10); }
          tr.state-off td { color: var(--off); }
          tr.state-off .badge { color: #fff; }
          footer { margin-top: 1.5rem; font-size: 0.85rem; opacity: 0.7; }
          /* Phones: one card per sensor, each value under its label. */
          @media (max-width: 600px) {
            thead { display: none; }
            table, tbody, tr, td { display: block; width: auto; }
            tr { margin: 0 0 0.75rem; border: 1px solid rgba(128, 128, 128, 0.45);
                 border-radius: 0.5rem; overflow: hidden; }
            td { display: flex; justify-content: space-between; gap: 1rem;
                 border-bottom: 1px solid rgba(128, 128, 128, 0.2); }
            td:last-child { border-bottom: none; }
            td::before { content: attr(data-label); font-weight: bold; opacity: 0.75; }
            td.none { display: none; }
          }
        </style>
      </head>
      <body>
        <main>
          <h1><xsl:value-of select="$title"/></h1>
          <p class="updated">
            <xsl:value-of select="normalize-space($update/type)"/>
            <xsl:text> </xsl:text>
            <xsl:value-of select="normalize-space($update/name)"/>
          </p>
          <xsl:choose>
            <xsl:when test="$sensors">
              <table id="sensors">
                <caption>Sensors</caption>
                <thead>
                  <tr>
                    <th scope="col">Name</th>
                    <th scope="col">Type</th>
                    <th scope="col">Status</th>
                    <th scope="col">Current</th>
                    <xsl:if test="$showRange">
                      <th scope="col">High</th>
                      <th scope="col">Low</th>
                    </xsl:if>
                  </tr>
                </thead>
                <tbody>
                  <xsl:apply-templates select="$sensors">
                    <xsl:with-param name="showRange" select="$showRange"/>
                  </xsl:apply-templates>
                </tbody>
              </table>
            </xsl:when>
            <xsl:otherwise>
              <p class="empty">No sensors are shown on the Summary.</p>
            </xsl:otherwise>
          </xsl:choose>
          <footer>Vigiltron Manager remote monitoring</footer>
        </main>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="sensor">
    <xsl:param name="showRange"/>
    <xsl:variable name="status" select="translate(normalize-space(status), $lower, $upper)"/>
    <xsl:variable name="current" select="translate(normalize-space(current), $lower, $upper)"/>
    <!-- Grey: not connected or lost; green: in range; red: any alarm ("NOT OK", "X TILT +"). -->
    <xsl:variable name="state">
      <xsl:choose>
        <xsl:when test="$status = 'LOST' or $current = 'OFF'">off</xsl:when>
        <xsl:when test="$status = 'OK'">ok</xsl:when>
        <xsl:when test="$status = ''">none</xsl:when>
        <xsl:otherwise>alarm</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <tr class="state-{$state}">
      <td class="name" data-label="Name"><xsl:value-of select="name"/></td>
      <td class="type" data-label="Type"><xsl:value-of select="type"/></td>
      <td class="status" data-label="Status">
        <span class="badge">
          <xsl:choose>
            <xsl:when test="normalize-space(status) != ''">
              <xsl:value-of select="normalize-space(status)"/>
            </xsl:when>
            <xsl:when test="$state = 'off'">OFF</xsl:when>
          </xsl:choose>
        </span>
      </td>
      <td class="current" data-label="Current"><xsl:value-of select="current"/></td>
      <xsl:if test="$showRange">
        <td class="high" data-label="High">
          <xsl:if test="not(high)"><xsl:attribute name="class">high none</xsl:attribute></xsl:if>
          <xsl:value-of select="high"/>
        </td>
        <td class="low" data-label="Low">
          <xsl:if test="not(low)"><xsl:attribute name="class">low none</xsl:attribute></xsl:if>
          <xsl:value-of select="low"/>
        </td>
      </xsl:if>
    </tr>
  </xsl:template>
</xsl:stylesheet>
