"""What the algorithms hand back to QGIS: the fused image as one raster file, quality tables as
CSV, HTML and a table layer, block offsets as arrows, and how the result layers are shown."""

import csv
import html
import io
import os
import re
import shutil

from osgeo import gdal
from qgis.core import (QgsArrowSymbolLayer, QgsCoordinateReferenceSystem, QgsFeature, QgsFeatureSink,
                       QgsField, QgsFields, QgsGeometry, QgsMultiBandColorRenderer, QgsPointXY,
                       QgsProcessingException, QgsProcessingLayerPostProcessorInterface,
                       QgsWkbTypes)
from qgis.PyQt.QtCore import QVariant

FUSED_LINE = re.compile(r'^(\w[\w ]*):\t(.+?)(?: \(Band (\d+)\))?$')


def fused_bands(report):
    """The fused bands section (d) of a report lists: (label, path, band or None) each."""
    bands, inside = [], False
    for line in report.splitlines():
        if line.startswith('(d)'):
            inside = True
        elif inside:
            found = FUSED_LINE.match(line)
            if not found or found.group(1) == 'BMP':
                break
            bands.append((found.group(1), found.group(2), found.group(3)))
    if not bands:
        raise QgsProcessingException('The report of lumesta-cli lists no fused bands.')
    return bands


def write_raster(bands, names, output, feedback):
    """Writes the fused bands as one file: ENVI for an .img name, otherwise a Cloud Optimized
    GeoTIFF, under a temporary name renamed into place."""
    # The bands as one dataset (in memory) that carries their names into the file written.
    separate = [path for _, path, band in bands]
    if all(band for _, _, band in bands) and len(set(separate)) == 1:
        source = gdal.Translate('', separate[0], options=gdal.TranslateOptions(format='VRT'))
    else:
        source = gdal.BuildVRT('', separate, options=gdal.BuildVRTOptions(separate=True))
    if source is None:
        raise QgsProcessingException('Cannot read the fused bands: ' + gdal.GetLastErrorMsg())
    for index, name in enumerate(names[:source.RasterCount]):
        band = source.GetRasterBand(index + 1)
        band.SetDescription(name)
        band.SetColorInterpretation(gdal.GCI_Undefined)  # bands of a spectrum, not R, G, B
    stem, ending = os.path.splitext(output)
    envi = ending.lower() == '.img'
    partial = stem + '.lumesta-part' + (ending if envi else '.tif')
    made = [partial, os.path.splitext(partial)[0] + '.hdr', partial + '.aux.xml']
    options = gdal.TranslateOptions(format='ENVI' if envi else 'COG',
                                    creationOptions=[] if envi else ['COMPRESS=DEFLATE'])
    try:
        dataset = gdal.Translate(partial, source, options=options)
        if dataset is None:
            raise RuntimeError(gdal.GetLastErrorMsg())
        dataset = None  # closed: written
        if envi:
            # The header's description names the file written: the final name.
            with open(made[1], encoding='utf-8') as header:
                text = header.read().replace(partial, output, 1)
            with open(made[1], 'w', encoding='utf-8') as header:
                header.write(text)
        os.replace(partial, output)
        if envi:
            os.replace(made[1], stem + '.hdr')
    except (RuntimeError, OSError) as error:
        for path in made:
            if os.path.exists(path):
                os.remove(path)
        raise QgsProcessingException('Cannot write {}: {}'.format(output, error))
    finally:
        source = None
    if os.path.exists(made[2]):
        os.remove(made[2])
    feedback.setProgress(100)


def move(source, target):
    """Moves a finished file into place (copied and renamed across file systems)."""
    try:
        os.replace(source, target)
    except OSError:
        partial = target + '.lumesta-part'
        try:
            shutil.copyfile(source, partial)
            os.replace(partial, target)
        except OSError as error:
            if os.path.exists(partial):
                os.remove(partial)
            raise QgsProcessingException('Cannot write {}: {}'.format(target, error))


def band_count(path):
    dataset = gdal.Open(path)
    count = dataset.RasterCount if dataset else 0
    dataset = None
    return count


def read_table(text):
    """Rows of lumesta-cli's CSV output (header first)."""
    rows = [row for row in csv.reader(io.StringIO(text)) if row]
    if not rows:
        raise QgsProcessingException('lumesta-cli printed no table.')
    return rows


def write_table(rows, text, output):
    """The table as the CSV lumesta-cli printed, or as an HTML page for an .html name."""
    partial = output + '.lumesta-part'
    if output.lower().endswith(('.html', '.htm')):
        cells = lambda row, tag: ''.join('<{0}>{1}</{0}>'.format(tag, html.escape(c)) for c in row)
        text = ('<html><head><meta charset="utf-8"><title>Fusion quality</title></head><body>\n'
                '<table border="1" cellspacing="0" cellpadding="3">\n<tr>' + cells(rows[0], 'th')
                + '</tr>\n' + ''.join('<tr>' + cells(row, 'td') + '</tr>\n' for row in rows[1:])
                + '</table>\n</body></html>\n')
    try:
        with open(partial, 'w', encoding='utf-8', newline='') as out:
            out.write(text)
        os.replace(partial, output)
    except OSError as error:
        if os.path.exists(partial):
            os.remove(partial)
        raise QgsProcessingException('Cannot write {}: {}'.format(output, error))


def table_fields(header):
    fields = QgsFields()
    for name in header:
        fields.append(QgsField(name, QVariant.String if name == 'method' else QVariant.Double))
    return fields


def add_rows(sink, header, rows):
    for row in rows:
        feature = QgsFeature()
        feature.setAttributes([value if name == 'method' else float(value)
                               for name, value in zip(header, row)])
        sink.addFeature(feature, QgsFeatureSink.FastInsert)


def arrow_fields():
    fields = QgsFields()
    for name in ('row', 'column'):
        fields.append(QgsField(name, QVariant.Int))
    for name in ('dx', 'dy', 'confidence'):
        fields.append(QgsField(name, QVariant.Double))
    return fields


def add_arrows(sink, blocks, grid, pan, scale):
    """One arrow per block, from its centre along its offset (dx right, dy down in pan pixels),
    in the pan layer's map units."""
    extent = pan.extent()
    size_x = extent.width() / pan.width()
    size_y = extent.height() / pan.height()
    for index, block in enumerate(blocks):
        row = int(block.get('row', index // grid))
        column = int(block.get('column', block.get('col', index % grid)))
        x = (column + 0.5) * pan.width() / grid
        y = (row + 0.5) * pan.height() / grid
        start = QgsPointXY(extent.xMinimum() + x * size_x, extent.yMaximum() - y * size_y)
        end = QgsPointXY(start.x() + float(block['dx']) * scale * size_x,
                         start.y() - float(block['dy']) * scale * size_y)
        feature = QgsFeature()
        feature.setGeometry(QgsGeometry.fromPolylineXY([start, end]))
        feature.setAttributes([row, column, float(block['dx']), float(block['dy']),
                               float(block.get('confidence', 0.0))])
        sink.addFeature(feature, QgsFeatureSink.FastInsert)


ARROW_GEOMETRY = QgsWkbTypes.LineString
NO_CRS = QgsCoordinateReferenceSystem()


class ColourPicture(QgsProcessingLayerPostProcessorInterface):
    """Shows a fused image in colour with the picture bands (red, green, blue)."""

    kept = []  # post-processors must outlive the algorithm that made them

    def __init__(self, red, green, blue):
        super().__init__()
        self.bands = (red, green, blue)

    @classmethod
    def create(cls, red, green, blue):
        processor = cls(red, green, blue)
        cls.kept.append(processor)
        return processor

    def postProcessLayer(self, layer, context, feedback):
        if layer is None or not layer.isValid() or max(self.bands) > layer.bandCount():
            return
        renderer = QgsMultiBandColorRenderer(layer.dataProvider(), *self.bands)
        layer.setRenderer(renderer)
        layer.setDefaultContrastEnhancement()
        layer.triggerRepaint()


class Arrows(QgsProcessingLayerPostProcessorInterface):
    """Draws the block offsets as arrows."""

    kept = []

    @classmethod
    def create(cls):
        processor = cls()
        cls.kept.append(processor)
        return processor

    def postProcessLayer(self, layer, context, feedback):
        if layer is None or not layer.isValid():
            return
        symbol = layer.renderer().symbol()
        arrow = QgsArrowSymbolLayer.create({'arrow_width': '0.4', 'head_length': '1.5',
                                            'head_thickness': '1.2', 'is_curved': '0'})
        symbol.changeSymbolLayer(0, arrow)
        layer.triggerRepaint()
