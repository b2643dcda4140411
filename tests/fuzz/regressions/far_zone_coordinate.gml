<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="http://mapserver.gis.umn.edu/mapserver" numberMatched="1" numberReturned="1">
<wfs:member><ms:budynki gml:id="budynki.1"><ms:geom><gml:Polygon srsName="urn:ogc:def:crs:EPSG::2177"><gml:exterior><gml:LinearRing><gml:posList>5569169.66 6573323.09 5569154.14 6573321.53 5569172.63 65732938005.7 5569169.66 6573323.09</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></ms:geom></ms:budynki></wfs:member>
</wfs:FeatureCollection>
