function [nnf, err] = annfield_knn(A, B, k, opts)
%ANNFIELD_KNN The k nearest patches of every patch of A, in B or within A itself.
%   [NNF, ERR] = ANNFIELD_KNN(A, B, K) finds for every W x W patch of A its K most similar patches
%   of B. NNF is (rows - W + 1) x (columns - W + 1) x 2 x K with the 1-based row and column of each
%   match, ERR the matching patch errors, best first.
%
%   [NNF, ERR] = ANNFIELD_KNN(A, [], K) finds the K nearest other patches within A.
%
%   [NNF, ERR] = ANNFIELD_KNN(A, B, K, OPTS) takes the options of ANNFIELD, among them its method:
%   by default the C++ matcher (NNFIELD), or with OPTS.method = 'kernels' the kernel MEX functions
%   chained in MATLAB (ANNFIELD gives the measured cost of each).
%
%   Example:
%     % The bundled pair lies beside nnfield.
%     A = imread(fullfile(fileparts(which('nnfield')), 'motorcycle_left.png'));
%     [nnf, err] = annfield_knn(A, [], 4);   % four nearest other patches of each patch
%
%   See also ANNFIELD, NNFIELD.

  narginchk(3, 4);
  if nargin < 4, opts = struct(); end
  if ~isstruct(opts) || ~isscalar(opts)
    error('annfield:options', 'options must be one struct');
  end
  opts.k = k;
  [nnf, err] = annfield(A, B, opts);
end
