"""The Processing algorithms of the Lumesta provider. Their parameters come from
algorithms.json, written from lumesta-cli's option tables at build time; each run turns the
parameters into a lumesta-cli command line, runs it and hands its results back to QGIS."""

import html
import json
import os

from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingContext,
                       QgsProcessingException,
                       QgsProcessingOutputNumber, QgsProcessingParameterEnum,
                       QgsProcessingParameterFeatureSink, QgsProcessingParameterFileDestination,
                       QgsProcessingParameterMultipleLayers, QgsProcessingParameterNumber,
                       QgsProcessingParameterRasterDestination,
                       QgsProcessingParameterRasterLayer, QgsProcessingParameterString,
                       QgsWkbTypes)
from qgis.PyQt.QtCore import QUrl

from . import results
from .command import Run, installed
from .inputs import Workspace, input_files, layer_file

HERE = os.path.dirname(os.path.abspath(__file__))
BMP_FILTER = 'BMP files (*.bmp)'
TABLE_FILTER = 'CSV files (*.csv);;HTML files (*.html *.htm)'
# The kinds of parameter that are results rather than values for the command line.
RESULTS = ('raster', 'file', 'picture', 'table', 'rows', 'map', 'arrows', 'scale')


def definitions():
    with open(os.path.join(HERE, 'algorithms.json'), encoding='utf-8') as source:
        return json.load(source)['algorithms']


def make_parameter(spec):
    """The QGIS parameter of one entry of algorithms.json."""
    kind, name, label, optional = spec['kind'], spec['name'], spec['label'], spec['optional']
    if kind == 'layer':
        parameter = QgsProcessingParameterRasterLayer(name, label, optional=optional)
    elif kind in ('layers', 'bands'):
        parameter = QgsProcessingParameterMultipleLayers(name, label, QgsProcessing.TypeRaster,
                                                         optional=optional)
    elif kind in ('enum', 'enums'):
        parameter = QgsProcessingParameterEnum(name, label, spec['choices'],
                                               allowMultiple=kind == 'enums',
                                               defaultValue=spec['default'], optional=optional,
                                               usesStaticStrings=True)
    elif kind in ('integer', 'scale'):
        parameter = QgsProcessingParameterNumber(
            name, label, QgsProcessingParameterNumber.Integer if kind == 'integer'
            else QgsProcessingParameterNumber.Double, defaultValue=spec['default'],
            optional=optional, minValue=0)
    elif kind == 'number':
        parameter = QgsProcessingParameterNumber(name, label, QgsProcessingParameterNumber.Double,
                                                 optional=optional)
    elif kind == 'text':
        parameter = QgsProcessingParameterString(name, label, defaultValue=spec['default'],
                                                 optional=optional)
    elif kind in ('file', 'picture'):
        parameter = QgsProcessingParameterFileDestination(
            name, label, BMP_FILTER, optional=optional, createByDefault=not optional)
    elif kind in ('raster', 'map'):
        parameter = QgsProcessingParameterRasterDestination(
            name, label, optional=optional, createByDefault=not optional)
    elif kind == 'table':
        parameter = QgsProcessingParameterFileDestination(name, label, TABLE_FILTER)
    elif kind in ('rows', 'arrows'):
        parameter = QgsProcessingParameterFeatureSink(
            name, label, QgsProcessing.TypeVector if kind == 'rows'
            else QgsProcessing.TypeVectorLine, optional=True, createByDefault=kind == 'rows')
    else:
        raise ValueError('unknown parameter kind ' + kind)
    parameter.setHelp(spec['help'])
    return parameter


def is_set(parameters, name):
    value = parameters.get(name)
    return value is not None and value != '' and value != []


class LumestaAlgorithm(QgsProcessingAlgorithm):
    def __init__(self, definition):
        super().__init__()
        self.definition = definition
        self.specs = {spec['name']: spec for spec in definition['parameters']}

    def createInstance(self):
        return LumestaAlgorithm(self.definition)

    def name(self):
        return self.definition['id']

    def displayName(self):
        return self.definition['name']

    def group(self):
        return self.definition['group']

    def groupId(self):
        return ''.join(c for c in self.definition['group'].lower() if c.isalpha())

    def shortHelpString(self):
        text = '<p>{}. Runs <code>lumesta-cli {}</code>.</p>'.format(
            html.escape(self.definition['summary']), html.escape(self.definition['tool']))
        for spec in self.definition['parameters']:
            facts = [spec['help']] if spec['help'] else []
            if spec['choices']:
                facts.append('Choices: ' + ', '.join(spec['choices']) + '.')
            if spec['default'] is not None:
                facts.append('Default: {}.'.format(spec['default']))
            names = ', '.join([spec['name']] + spec['options'])
            text += '<p><b>{}</b> ({}): {}</p>'.format(
                html.escape(spec['label']), html.escape(names), html.escape(' '.join(facts)))
        return text

    def helpUrl(self):
        guide = installed('guide')
        return QUrl.fromLocalFile(guide).toString() if os.path.isfile(guide) else ''

    def initAlgorithm(self, config=None):
        for spec in self.definition['parameters']:
            self.addParameter(make_parameter(spec))
        if self.name() == 'register':
            for name, label in (('DX', 'MS offset to the right (pan pixels)'),
                                ('DY', 'MS offset downward (pan pixels)'),
                                ('CONFIDENCE', 'Confidence of the estimate (0-1)')):
                self.addOutput(QgsProcessingOutputNumber(name, label))

    def checkParameterValues(self, parameters, context):
        valid, message = super().checkParameterValues(parameters, context)
        if not valid:
            return valid, message
        spec = self.specs.get('MS')
        if spec and spec['kind'] == 'bands':
            count = len(self.parameterAsLayerList(parameters, 'MS', context))
            files = len([o for o in spec['options'] if o != '--ms'])
            if count > files:
                return False, 'MS: give one multi-band layer or at most {} band layers, not {}.' \
                    .format(files, count)
        clash = self.output_among_inputs(parameters, context)
        if clash:
            return False, clash
        for name, endings in (('OUTPUT', None), ('MAP', ('.tif', '.tiff'))):
            if self.specs.get(name, {}).get('kind') not in ('raster', 'map') or \
                    not is_set(parameters, name):
                continue
            path = self.parameterAsOutputLayer(parameters, name, context)
            ending = os.path.splitext(path)[1].lower()
            if endings is None:
                endings = ('.img',) if self.chosen_format(parameters, context) == 'envi' \
                    else ('.tif', '.tiff')
            if ending not in endings:
                return False, '{}: this result is written as a {} file, not {}.'.format(
                    name, ' or '.join(endings), ending or 'a file without an ending')
        return True, ''

    def output_among_inputs(self, parameters, context):
        """A message when a result would be written over an input's file (or its header)."""
        inputs = set()
        for spec in self.definition['parameters']:
            if spec['kind'] in ('layer', 'layers', 'bands') and is_set(parameters, spec['name']):
                for layer in self.parameterAsLayerList(parameters, spec['name'], context):
                    inputs.update(input_files(layer))
        for spec in self.definition['parameters']:
            if spec['kind'] not in ('raster', 'picture', 'file', 'table', 'map') or \
                    not is_set(parameters, spec['name']):
                continue
            path = self.parameterAsFileOutput(parameters, spec['name'], context)
            written = {os.path.realpath(path), os.path.realpath(os.path.splitext(path)[0] + '.hdr')}
            if written & inputs:
                return '{}: {} is a file of an input layer; choose another file.'.format(
                    spec['name'], path)
        return ''

    def chosen_format(self, parameters, context):
        """FORMAT as chosen; unset, the one the OUTPUT's name ending stands for."""
        if 'FORMAT' in self.specs and is_set(parameters, 'FORMAT'):
            return self.parameterAsEnumString(parameters, 'FORMAT', context)
        output = self.parameterAsOutputLayer(parameters, 'OUTPUT', context)
        return 'envi' if output.lower().endswith('.img') else 'cog'

    # The command line.

    def command_line(self, parameters, context, workspace, beside_inputs):
        """The arguments for every value parameter that is set."""
        arguments = []
        for spec in self.definition['parameters']:
            name, kind, options = spec['name'], spec['kind'], spec['options']
            if kind in RESULTS or not options or not is_set(parameters, name):
                continue
            if kind == 'layer':
                layer = self.parameterAsRasterLayer(parameters, name, context)
                arguments += [options[0], layer_file(layer, name, spec['filters'], workspace,
                                                     beside_inputs)]
            elif kind in ('layers', 'bands'):
                files = [layer_file(layer, name, spec['filters'], workspace, beside_inputs)
                         for layer in self.parameterAsLayerList(parameters, name, context)]
                arguments += self.band_arguments(kind, options, files, parameters, context)
            elif kind == 'enum':
                arguments += [options[0], self.parameterAsEnumString(parameters, name, context)]
            elif kind == 'enums':
                for choice in self.parameterAsEnumStrings(parameters, name, context):
                    arguments += [options[0], choice]
            elif kind == 'integer':
                arguments += [options[0], str(self.parameterAsInt(parameters, name, context))]
            elif kind == 'number':
                arguments += [options[0], '{:.17g}'.format(
                    self.parameterAsDouble(parameters, name, context))]
            elif kind == 'text':
                arguments += [options[0], self.parameterAsString(parameters, name, context)]
        return arguments

    def band_arguments(self, kind, options, files, parameters, context):
        if kind == 'layers':
            return [options[0]] + files
        # One multi-band layer goes to --ms, except for the methods that take the band
        # entries of one file (1 and 2); band layers go to --blue, --green, ... in turn.
        method = self.parameterAsEnumString(parameters, 'METHOD', context) \
            if 'METHOD' in self.specs else ''
        if len(files) == 1 and '--ms' in options and method not in ('1', '2'):
            return ['--ms', files[0]]
        band_options = [o for o in options if o != '--ms']
        return [part for pair in zip(band_options, files) for part in pair]

    def run_cli(self, arguments, feedback, workspace):
        options = {o: spec['name'] for spec in self.definition['parameters'] for o in spec['options']}
        return Run(arguments, feedback, options, workspace.shown).execute()

    # The runs.

    def processAlgorithm(self, parameters, context, feedback):
        workspace = Workspace()
        try:
            tool = self.definition['tool']
            if tool in ('pansharpen', 'pansharpen-etm'):
                return self.pansharpen(parameters, context, feedback, workspace)
            if tool == 'combine':
                return self.combine(parameters, context, feedback, workspace)
            if tool == 'register':
                return self.register(parameters, context, feedback, workspace)
            return self.quality(parameters, context, feedback, workspace)
        finally:
            workspace.remove()

    def pansharpen(self, parameters, context, feedback, workspace):
        output = self.parameterAsOutputLayer(parameters, 'OUTPUT', context)
        writes_output = bool(self.specs['OUTPUT']['options'])
        # Without --output the tool writes its bands beside its inputs: linked into the
        # workspace, and the bands gathered into OUTPUT afterwards.
        arguments = [self.definition['tool']]
        arguments += self.command_line(parameters, context, workspace, not writes_output)
        # The picture is written in the workspace and moved into place with the image.
        picture = os.path.join(workspace.folder, 'picture.bmp')
        arguments += ['--bmp', picture]
        if writes_output:
            arguments += ['--output', output]
            if 'FORMAT' in self.specs and not is_set(parameters, 'FORMAT'):
                arguments += ['--format', self.chosen_format(parameters, context)]
        report = self.run_cli(arguments, feedback, workspace)
        feedback.pushInfo(workspace.shown(report))
        if not writes_output:
            bands = results.fused_bands(report)
            results.write_raster(bands, [label for label, _, _ in bands], output, feedback)
        found = {'OUTPUT': output}
        if 'BMP' in self.specs and is_set(parameters, 'BMP'):
            found['BMP'] = self.parameterAsFileOutput(parameters, 'BMP', context)
            results.move(picture, found['BMP'])
        if context.willLoadLayerOnCompletion(output):
            details = context.layerToLoadOnCompletionDetails(output)
            details.setPostProcessor(results.ColourPicture.create(*self.picture_bands(
                parameters, context, results.band_count(output))))
        return found

    def picture_bands(self, parameters, context, count):
        """Red, green and blue of the picture: RGB when given, else lumesta-cli's default."""
        if 'RGB' in self.specs and is_set(parameters, 'RGB'):
            return [int(b) for b in self.parameterAsString(parameters, 'RGB', context).split(',')]
        return [5, 3, 2] if count == 8 else [3, 2, 1]

    def combine(self, parameters, context, feedback, workspace):
        output = self.parameterAsFileOutput(parameters, 'OUTPUT', context)
        arguments = ['combine'] + self.command_line(parameters, context, workspace, False)
        report = self.run_cli(arguments + ['--bmp', output], feedback, workspace)
        feedback.pushInfo(workspace.shown(report))
        context.addLayerToLoadOnCompletion(output, QgsProcessingContext.LayerDetails(
            self.specs['OUTPUT']['label'], context.project(), 'OUTPUT'))
        return {'OUTPUT': output}

    def quality(self, parameters, context, feedback, workspace):
        output = self.parameterAsFileOutput(parameters, 'OUTPUT', context)
        arguments = self.definition['tool'].split() + self.command_line(
            parameters, context, workspace, False) + ['--format', 'csv']
        found = {'OUTPUT': output}
        if 'MAP' in self.specs and is_set(parameters, 'MAP'):
            found['MAP'] = self.parameterAsOutputLayer(parameters, 'MAP', context)
            arguments += ['--map', found['MAP']]
        text = self.run_cli(arguments, feedback, workspace)
        feedback.pushInfo(text)
        rows = results.read_table(text)
        results.write_table(rows, text, output)
        if 'TABLE' in self.specs:
            sink, table = self.parameterAsSink(
                parameters, 'TABLE', context, results.table_fields(rows[0]),
                QgsWkbTypes.NoGeometry, results.NO_CRS)
            if sink is not None:
                results.add_rows(sink, rows[0], rows[1:])
                found['TABLE'] = table
        return found

    def register(self, parameters, context, feedback, workspace):
        arguments = ['register'] + self.command_line(parameters, context, workspace, False)
        text = self.run_cli(arguments + ['--format', 'json'], feedback, workspace)
        try:
            estimate = json.loads(text)
            found = {'DX': float(estimate['dx']), 'DY': float(estimate['dy']),
                     'CONFIDENCE': float(estimate['confidence'])}
        except (ValueError, KeyError, TypeError) as error:
            raise QgsProcessingException('lumesta-cli register printed no estimate: {}'.format(error))
        feedback.pushInfo('MS offset on the pan: {DX}, {DY} pan pixels (confidence {CONFIDENCE})'
                          .format(**found))
        if 'BLOCKS' in self.specs and is_set(parameters, 'GRID'):
            pan = self.parameterAsRasterLayer(parameters, 'PAN', context)
            sink, blocks = self.parameterAsSink(
                parameters, 'BLOCKS', context, results.arrow_fields(), results.ARROW_GEOMETRY,
                pan.crs())
            if sink is not None:
                results.add_arrows(sink, estimate.get('blocks') or [],
                                   self.parameterAsInt(parameters, 'GRID', context), pan,
                                   self.parameterAsDouble(parameters, 'SCALE', context))
                found['BLOCKS'] = blocks
                if context.willLoadLayerOnCompletion(blocks):
                    context.layerToLoadOnCompletionDetails(blocks).setPostProcessor(
                        results.Arrows.create())
        return found
